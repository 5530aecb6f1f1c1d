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
    // What the links do besides passing bytes on: drop what they receive, or throw.
    static volatile bool silent;
    static volatile Exception fault;

    static int Main(string[] args)
    {
        Expect(Marshal.SizeOf(typeof(SensorInfoC)) == 228 &&
               (int)Marshal.OffsetOf(typeof(SensorInfoC), "identField2") == 108 &&
               (int)Marshal.OffsetOf(typeof(SensorInfoC), "coeff") == 208, "SensorInfoC has the layout of C");
        var emulated = new EmulatedSensor();
        Scenario("emulated", emulated.Write, emulated.Read, "EMU00007", EmulatedSensor.Bands, EmulatedSensor.Sample);
        Exports(emulated);
        if (args.Length == 1)
        {
            using (var port = new SerialPort(args[0], 115200, Parity.None, 8, StopBits.One) { ReadTimeout = 10 })
            {
                port.Open();
                Stream stream = port.BaseStream;
                Scenario("serial", (data, count) => stream.Write(data, 0, count), (buffer, count) =>
                {
                    try { return stream.Read(buffer, 0, count); }
                    catch (TimeoutException) { return 0; }
                }, "SIM00042", 512, null);
            }
        }
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }

    static void Scenario(string name, Kq7Device.LinkWrite write, Kq7Device.LinkRead read, string serial, int bands,
                         Func<int, int, ushort> sample)
    {
        Kq7Device.LinkRead muted = (buffer, count) =>
        {
            int received = read(buffer, count);
            return silent ? 0 : received;
        };
        using (var device = new Kq7Device(Faulty(write), muted))
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
            Expect(info.Model == "KQ7" && info.Serial == serial && info.bandnumber == bands && info.maxValue == 65535 &&
                   lines > 0 && wavelengths.Length == bands && wavelengths[0] < wavelengths[bands - 1],
                   name + ": identity, band count, wavelengths and log lines");

            var clock = Stopwatch.StartNew();
            bool expected = true;
            for (int shutter = 100; shutter < 100 + Captures; ++shutter)
            {
                ushort[] spectrum = device.Capture(shutter);
                expected &= spectrum.Length == bands &&
                            (sample == null || spectrum.Select((s, band) => s == sample(shutter, band)).All(s => s));
            }
            Expect(expected, string.Format("{0}: {1} captures, {2:F0} per second", name, Captures,
                                           Captures / clock.Elapsed.TotalSeconds));

            int peak = device.Capture(device.AutoExposure(90)).Max(s => (int)s);
            Expect(peak >= 0.95 * 0.9 * 65535 && peak <= 0.9 * 65535, name + ": automatic exposure");
            device.WriteCoefficients(0, 0, 1, 300);
            device.Identify();
            Expect(device.Info.Coefficients.SequenceEqual(new float[] { 0, 0, 1, 300 }), name + ": coefficients written");

            silent = true;
            var canceller = new Thread(() => { Thread.Sleep(200); device.Cancel(); });
            canceller.Start();
            clock.Restart();
            var cancelled = Catch(() => device.Capture(100)) as Kq7Exception;
            canceller.Join();
            silent = false;
            Expect(cancelled != null && cancelled.Result == Kq7Result.Cancelled && clock.ElapsedMilliseconds < 1500,
                   name + ": cancelled from another thread");

            silent = true;
            device.Timeout = 300;
            clock.Restart();
            var late = Catch(() => device.Capture(100)) as Kq7Exception;
            device.Timeout = 0;
            silent = false;
            Expect(late != null && late.Result == Kq7Result.Timeout && late.Detail.StartsWith("kq7_capture: ") &&
                   clock.ElapsedMilliseconds < 1500, name + ": the host's time limit");

            fault = new IOException("adapter unplugged");
            Exception caught = Catch(() => device.Capture(100));
            Expect(caught == fault && caught.StackTrace.Contains("Faulty"),
                   name + ": an exception in the link surfaces as itself after the call");
            fault = null;
            Expect(device.Capture(100).Length == bands, name + ": captures again after both");
        }
    }

    static void Exports(EmulatedSensor sensor)
    {
        Kq7Device.LinkWrite write = Faulty(sensor.Write);
        Kq7Native.KQ7Set_Serial_FUN((data, length) =>
        {
            var bytes = new byte[length];
            Marshal.Copy(data, bytes, 0, bytes.Length);
            write(bytes, bytes.Length);
            return length;
        }, (dest, maxLength) =>
        {
            var bytes = new byte[Math.Min(maxLength, 4096)];
            int received = sensor.Read(bytes, bytes.Length);
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
        fault = new IOException("adapter unplugged");
        Expect(Catch(() => Kq7Native.KQ7GetData(spectrum, 301)) == fault,
               "exports: an exception in a host function surfaces as itself after the call");
        fault = null;
    }

    static Kq7Device.LinkWrite Faulty(Kq7Device.LinkWrite write)
    {
        return (data, count) =>
        {
            if (fault != null)
                throw fault;
            write(data, count);
        };
    }

    static Exception Catch(Action call)
    {
        try { call(); }
        catch (Exception error) { return error; }
        return null;
    }

    static void Expect(bool condition, string what)
    {
        passed += condition ? 1 : 0;
        failed += condition ? 0 : 1;
        Console.WriteLine("{0}: {1}", condition ? "ok" : "FAILED", what);
    }
}
