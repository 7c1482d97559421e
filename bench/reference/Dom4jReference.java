// Reference figures for the XML rows: dom4j parse and compact write of one
// document, timed in a warm JVM. Prints "parse MB/s" and "write MB/s" as
// medians of several rounds.
import java.io.File;
import java.io.StringWriter;
import java.nio.file.Files;
import java.util.Arrays;
import org.dom4j.Document;
import org.dom4j.io.OutputFormat;
import org.dom4j.io.SAXReader;
import org.dom4j.io.XMLWriter;

public class Dom4jReference {
  static final int WARM = 5;
  static final int ROUNDS = 9;

  static double median(double[] values) {
    double[] copy = values.clone();
    Arrays.sort(copy);
    return copy[copy.length / 2];
  }

  public static void main(String[] args) throws Exception {
    File file = new File(args[0]);
    long bytes = Files.size(file.toPath());
    double[] parse = new double[ROUNDS];
    Document doc = null;
    for (int i = -WARM; i < ROUNDS; i++) {
      long start = System.nanoTime();
      doc = new SAXReader().read(file);
      long took = System.nanoTime() - start;
      if (i >= 0) parse[i] = bytes / (took / 1e9) / 1e6;
    }
    double[] write = new double[ROUNDS];
    for (int i = -WARM; i < ROUNDS; i++) {
      long start = System.nanoTime();
      StringWriter out = new StringWriter();
      new XMLWriter(out, OutputFormat.createCompactFormat()).write(doc.getRootElement());
      long took = System.nanoTime() - start;
      long written = out.toString().getBytes("UTF-8").length;
      if (i >= 0) write[i] = written / (took / 1e9) / 1e6;
    }
    System.out.printf("parse %.1f%n", median(parse));
    System.out.printf("write %.1f%n", median(write));
  }
}
