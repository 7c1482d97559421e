// The transfer servlet played with the platform's own object streams. Reads
// requests from standard input, each a 4-byte big-endian length and the body,
// and writes each reply the same way. Upload and log replies describe the
// fields as the platform's reader decoded them; download replies are written
// with the platform's writer, with resets between fields.

import java.io.*;
import java.util.zip.CRC32;
import java.util.zip.DeflaterOutputStream;

public class ServletPeer {
  public static void main(String[] args) throws IOException {
    DataInputStream requests = new DataInputStream(new BufferedInputStream(System.in));
    DataOutputStream replies = new DataOutputStream(new BufferedOutputStream(System.out));
    for (;;) {
      int length;
      try {
        length = requests.readInt();
      } catch (EOFException end) {
        return;
      }
      byte[] body = new byte[length];
      requests.readFully(body);
      byte[] reply;
      try {
        reply = answer(body);
      } catch (Exception e) {
        reply = text("peer failure: " + e);
      }
      replies.writeInt(reply.length);
      replies.write(reply);
      replies.flush();
    }
  }

  static byte[] text(String value) throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    ObjectOutputStream out = new ObjectOutputStream(bytes);
    out.writeUTF(value);
    out.close();
    return bytes.toByteArray();
  }

  static String file(ObjectInputStream in) throws IOException {
    int length = in.readInt();
    byte[] data = new byte[length];
    in.readFully(data);
    CRC32 crc = new CRC32();
    crc.update(data);
    return length + ":" + Long.toHexString(crc.getValue());
  }

  // Bytes i * 7 + seed, the content of every file the peer sends.
  static byte[] content(int length, int seed) {
    byte[] data = new byte[length];
    for (int i = 0; i < length; i++) data[i] = (byte) (i * 7 + seed);
    return data;
  }

  static void sendFile(ObjectOutputStream out, byte[] data) throws IOException {
    out.writeInt(data.length);
    out.write(data);
  }

  static byte[] answer(byte[] body) throws IOException {
    ObjectInputStream in = new ObjectInputStream(new ByteArrayInputStream(body));
    String command = in.readUTF();
    String session = in.readUTF();
    String p = command + "|" + session;
    switch (command) {
      case "imageUpload":
      case "soundUpload":
        return text(p + "|" + in.readInt() + "|" + in.readUTF() + "|" + in.readUTF() + "|" + file(in)
            + "|" + in.read());
      case "uploadScaledImage":
        return text(p + "|" + in.readInt() + "|" + in.readInt() + "|" + in.readUTF() + "|" + file(in)
            + "|" + in.read());
      case "videoAndImageUpload":
        return text(p + "|" + in.readInt() + "|" + in.readUTF() + "|" + in.readUTF() + "|" + file(in)
            + "|" + file(in) + "|" + in.read());
      case "log":
        return text(p + "|" + in.readUTF() + "|" + in.readUTF() + "|" + in.read());
      default:
        break;
    }
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    if (command.equals("downloadVideo")) {
      ObjectOutputStream out = new ObjectOutputStream(bytes);
      String directory = in.readUTF();
      out.writeInt(directory.length());
      out.writeUTF(".swf");
      out.reset();
      sendFile(out, content(3000, 1));
      out.reset();
      out.writeUTF(".jpg");
      sendFile(out, content(100, 2));
      out.writeUTF("ok");
      out.close();
    } else if (command.startsWith("getOfflineFilelistInfo")) {
      ObjectOutputStream out = new ObjectOutputStream(bytes);
      out.writeUTF("ok");
      // For these commands the second text is the domain, the third the session.
      out.writeUTF("filelist.txt|" + session + "|" + in.readUTF() + "|" + command);
      out.reset();
      out.writeInt(1500);
      out.writeLong(4294967295L);
      out.close();
    } else if (command.startsWith("downloadOfflineFiles")) {
      DeflaterOutputStream zlib = new DeflaterOutputStream(bytes);
      ObjectOutputStream out = new ObjectOutputStream(zlib);
      in.readUTF();
      int count = in.readInt();
      out.writeUTF("ok");
      for (int i = 0; i < count; i++) {
        String name = in.readUTF();
        sendFile(out, content(name.length() * 1000, i));
        out.reset();
      }
      out.close();
    } else {
      return text("error:unknown " + command);
    }
    return bytes.toByteArray();
  }
}
