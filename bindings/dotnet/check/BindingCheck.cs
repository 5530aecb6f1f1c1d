/* SPDX-License-Identifier: MIT */
// Drives the binding against the emulated sensor in process and, given a
// serial port (kq7sim --pty in the check), against the sensor there. Ends
// with the line "N passed, M failed".
//   mono BindingCheck.exe [PORT]
using System;
using System.Diagnostics;
using System.IO;
using System.IO.Ports;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using Nerb.Kq7;

static class BindingCheck
{
    const int Captures = 200;
    static int passed, failed;

    // A link over another that can drop what it receives or fail on write.
    sealed class Link
    {
        public volatile bool Silent;
        public volatile Exception Fault;
        readonly Kq7Device.LinkWrite write;
        readonly Kq7Device.LinkRead read;

        public Link(Kq7Device.LinkWrite write, Kq7Device.LinkRead read)
        {
            this.write = write;
            this.read = read;
        }

        public void Write(byte[] data, int count)
        {
            if (Fault != null)
                throw Fault;
            write(data, count);
        }

        public int Read(byte[] buffer, int count)
        {
            int received = read(buffer, count);
            return Silent ? 0 : received;
        }
    }

    static int Main(string[] args)
    {
        Expect(Marshal.SizeOf(typeof(SensorInfoC)) == 228 &&
               (int)Marshal.OffsetOf(typeof(SensorInfoC), "identField2") == 108 &&
               (int)Marshal.OffsetOf(typeof(SensorInfoC), "coeff") == 208 &&
               (int)Marshal.OffsetOf(typeof(SensorInfoC), "flag") == 224, "SensorInfoC has the layout of C");
        var emulated = new EmulatedSensor();
        Scenario("emulated", new Link(emulated.Write, emulated.Read), "EMU00007", EmulatedSensor.Bands,
                 EmulatedSensor.Sample);
        Exports(new Link(emulated.Write, emulated.Read));
        if (args.Length == 1)
        {
            using (var port = new SerialPort(args[0], 115200, Parity.None, 8, StopBits.One))
            {
                port.ReadTimeout = 10;
                port.Open();
                Stream stream = port.BaseStream;
                Scenario("serial", new Link((data, count) => stream.Write(data, 0, count), (buffer, count) =>
                {
                    try { return stream.Read(buffer, 0, count); }
                    catch (TimeoutException) { return 0; }
                }), "SIM00042", 512, null);
            }
        }
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }

    static void Scenario(string name, Link link, string serial, int bands, Func<int, int, ushort> sample)
    {
        using (var device = new Kq7Device(link.Write, link.Read))
        {
            int lines = 0;
            Action<string> count = line => ++lines;
            device.Log += count;
            // Would catch a delegate left unkept, on a runtime that collects it.
            GC.Collect();
            GC.WaitForPendingFinalizers();
            device.Identify();
            device.Log -= count;
            SensorInfoC info = device.Info;
            double[] wavelengths = device.Wavelengths;
            Expect(info.Model == "KQ7" && info.Serial == serial && info.bandnumber == bands &&
                   info.maxValue == 65535 && lines > 0, name + ": identity, band count and log lines");
            Expect(wavelengths.Length == bands && wavelengths[0] < wavelengths[bands - 1], name + ": wavelengths");

            var clock = Stopwatch.StartNew();
            bool expected = true;
            for (int shutter = 100; shutter < 100 + Captures; ++shutter)
            {
                ushort[] spectrum = device.Capture(shutter);
                expected &= spectrum.Length == bands &&
                            (sample == null || spectrum.Select((s, band) => s == sample(shutter, band)).All(s => s));
            }
            Expect(expected, name + ": captures");
            Console.WriteLine("{0}: {1} captures at {2:F0} per second", name, Captures,
                              Captures / clock.Elapsed.TotalSeconds);

            int peak = device.Capture(device.AutoExposure(90)).Max(s => (int)s);
            Expect(peak >= 0.95 * 0.9 * 65535 && peak <= 0.9 * 65535, name + ": automatic exposure");

            device.WriteCoefficients(0, 0, 1, 300);
            device.Identify();
            Expect(device.Info.Coefficients.SequenceEqual(new float[] { 0, 0, 1, 300 }), name + ": coefficients written");

            link.Silent = true;
            var canceller = new Thread(() => { Thread.Sleep(200); device.Cancel(); });
            canceller.Start();
            clock.Restart();
            var cancelled = Catch(() => device.Capture(100)) as Kq7Exception;
            canceller.Join();
            link.Silent = false;
            Expect(cancelled != null && cancelled.Result == Kq7Result.Cancelled && clock.ElapsedMilliseconds < 1500,
                   name + ": cancelled from another thread");

            var unplugged = new IOException("adapter unplugged");
            link.Fault = unplugged;
            Exception caught = Catch(() => device.Capture(100));
            link.Fault = null;
            Expect(caught == unplugged && caught.StackTrace.Contains("Link.Write"),
                   name + ": an exception in the link surfaces as itself after the call");
            Expect(device.Capture(100).Length == bands, name + ": captures again after both");
        }
    }

    static void Exports(Link link)
    {
        Kq7Native.KQ7Set_Serial_FUN((data, length) =>
        {
            var bytes = new byte[length];
            Marshal.Copy(data, bytes, 0, bytes.Length);
            link.Write(bytes, bytes.Length);
            return length;
        }, (dest, maxLength) =>
        {
            var bytes = new byte[Math.Min(maxLength, 4096)];
            int received = link.Read(bytes, bytes.Length);
            Marshal.Copy(bytes, 0, dest, received);
            return received;
        });
        GC.Collect();
        GC.WaitForPendingFinalizers();
        var spectrum = new ushort[EmulatedSensor.Bands];
        int last = EmulatedSensor.Bands - 1;
        Expect(Kq7Native.KQ7SensorInit() == 1 && Kq7Native.KQ7Get_SensorInfo().Serial == "EMU00007" &&
               Kq7Native.KQ7GetData(spectrum, 300) == EmulatedSensor.Bands &&
               spectrum[last] == EmulatedSensor.Sample(300, last), "exports: identify, record by value, capture");
        var unplugged = new IOException("adapter unplugged");
        link.Fault = unplugged;
        Expect(Catch(() => Kq7Native.KQ7GetData(spectrum, 301)) == unplugged,
               "exports: an exception in a host function surfaces as itself after the call");
    }

    static Exception Catch(Action call)
    {
        try
        {
            call();
            return null;
        }
        catch (Exception error)
        {
            return error;
        }
    }

    static void Expect(bool condition, string what)
    {
        if (condition)
            ++passed;
        else
            ++failed;
        Console.WriteLine("{0}: {1}", condition ? "ok" : "FAILED", what);
    }
}
