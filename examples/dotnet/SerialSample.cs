/* SPDX-License-Identifier: MIT */
// Opens a serial port by name, identifies the sensor on it and prints its
// identity and the peak of one automatically exposed capture.
//   mono SerialSample.exe /dev/ttyUSB0 [baud]
using System;
using System.IO.Ports;
using Nerb.Kq7;

static class SerialSample
{
    static int Main(string[] args)
    {
        if (args.Length < 1 || args.Length > 2)
        {
            Console.Error.WriteLine("usage: SerialSample PORT [BAUD]");
            return 64;
        }
        try
        {
            Run(args[0], args.Length > 1 ? int.Parse(args[1]) : 115200);
            return 0;
        }
        catch (Exception error) // a port that cannot be opened, a missing library, a failed call
        {
            Console.Error.WriteLine("SerialSample: {0}: {1}", args[0], error.Message);
            return 1;
        }
    }

    static void Run(string portName, int baud)
    {
        using (var port = new SerialPort(portName, baud, Parity.None, 8, StopBits.One))
        {
            // Short reads: the library polls until a reply is complete.
            port.ReadTimeout = 10;
            port.Open();
            using (var sensor = new Kq7Device(port.BaseStream))
            {
                sensor.Identify();
                SensorInfoC info = sensor.Info;
                double[] wavelengths = sensor.Wavelengths;
                Console.WriteLine("{0} {1}: {2} bands, {3:F1} to {4:F1} nm (library {5})", info.Model, info.Serial,
                                  info.bandnumber, wavelengths[0], wavelengths[wavelengths.Length - 1],
                                  Kq7Native.kq7_version());

                sensor.SetShutterOpen(true);
                int shutter = sensor.AutoExposure(90);
                ushort[] spectrum = sensor.Capture(shutter);
                int peak = 0;
                for (int band = 1; band < spectrum.Length; ++band)
                {
                    if (spectrum[band] > spectrum[peak])
                        peak = band;
                }
                Console.WriteLine("shutter {0}: peak {1} counts at {2:F1} nm (band {3})", shutter, spectrum[peak],
                                  wavelengths[peak], peak + 1);
            }
        }
    }
}
