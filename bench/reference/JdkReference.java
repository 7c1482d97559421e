// Reference figures for the stream rows: BufferedReader.readLine over a text
// file (GB/s) and Properties.load of a file with one large value (ms), each
// the median of several rounds in a warm JVM.
import java.io.BufferedReader;
import java.io.FileInputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.Properties;

public class JdkReference {
  static double median(double[] values) {
    double[] copy = values.clone();
    Arrays.sort(copy);
    return copy[copy.length / 2];
  }

  static double readLines(String path) throws Exception {
    long bytes = Files.size(Paths.get(path));
    double[] rates = new double[7];
    for (int i = -3; i < rates.length; i++) {
      long start = System.nanoTime();
      long lines = 0;
      try (BufferedReader reader = new BufferedReader(
               new InputStreamReader(new FileInputStream(path), StandardCharsets.UTF_8))) {
        String line;
        while ((line = reader.readLine()) != null) {
          if (!line.isEmpty()) lines++;
        }
      }
      long took = System.nanoTime() - start;
      if (lines == 0) throw new IllegalStateException("no lines");
      if (i >= 0) rates[i] = bytes / (took / 1e9) / 1e9;
    }
    return median(rates);
  }

  static double loadProperties(String path) throws Exception {
    byte[] bytes = Files.readAllBytes(Paths.get(path));
    double[] times = new double[15];
    for (int i = -10; i < times.length; i++) {
      long start = System.nanoTime();
      Properties properties = new Properties();
      properties.load(new java.io.ByteArrayInputStream(bytes));
      long took = System.nanoTime() - start;
      if (properties.size() != 3) throw new IllegalStateException("properties");
      if (i >= 0) times[i] = took / 1e6;
    }
    return median(times);
  }

  public static void main(String[] args) throws Exception {
    System.out.printf("lines %.3f%n", readLines(args[0]));
    System.out.printf("properties %.2f%n", loadProperties(args[1]));
  }
}
