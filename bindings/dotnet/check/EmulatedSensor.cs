/* SPDX-License-Identifier: MIT */
// A KQ7 sensor in C#, served through link delegates: replies at once, with
// the CRC wildcard EE EE, and a spectrum that grows with the shutter value.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Text;
using System.Threading;

sealed class EmulatedSensor
{
    public const int Bands = 256;
    const int HeaderSize = 5; // 55 AA, command, payload length (big-endian)

    readonly Queue<byte> replies = new Queue<byte>();
    double[] coefficients = { 2e-9, -3e-5, 1.25, 330.0 };
    int shutter;

    /// <summary>Counts of a band, up to 6 per shutter unit in the last band.</summary>
    public static ushort Sample(int shutter, int band)
    {
        return (ushort)Math.Min(65535L, 6L * shutter * (band + 1) / Bands);
    }

    public void Write(byte[] data, int count)
    {
        int length = count >= HeaderSize ? data[3] << 8 | data[4] : count;
        if (HeaderSize + length > count)
            throw new ArgumentException("incomplete request frame");
        byte command = data[2];
        IEnumerable<byte> payload = new byte[0];
        if (command == 0x50)
            payload = Encoding.ASCII.GetBytes("KQ7-EMU00007");
        else if (command == 0x57)
            payload = BigEndian(Bands, 4);
        else if (command == 0x59)
            payload = coefficients.SelectMany(c => BigEndian(BitConverter.DoubleToInt64Bits(c), 8));
        else if (command == 0x58 && length >= 8 * coefficients.Length)
            coefficients = coefficients.Select((_, k) => BitConverter.Int64BitsToDouble(Number(data, HeaderSize + 8 * k, 8))).ToArray();
        else if (command == 0x51 && length >= 4)
            shutter = (int)Number(data, HeaderSize, 4);
        else if (command == 0x61) // samples low byte first
            payload = Enumerable.Range(0, Bands).Select(band => Sample(shutter, band))
                                .SelectMany(s => new[] { (byte)s, (byte)(s >> 8) });
        byte[] body = payload.ToArray();
        lock (replies)
        {
            foreach (byte b in new byte[] { 0x55, 0xAA, command }.Concat(BigEndian(body.Length, 2)).Concat(body))
                replies.Enqueue(b);
            replies.Enqueue(0xEE);
            replies.Enqueue(0xEE);
        }
    }

    public int Read(byte[] buffer, int count)
    {
        int n;
        lock (replies)
        {
            for (n = 0; n < count && replies.Count > 0; ++n)
                buffer[n] = replies.Dequeue();
        }
        if (n == 0)
            Thread.Sleep(1);
        return n;
    }

    static IEnumerable<byte> BigEndian(long value, int size)
    {
        return Enumerable.Range(1, size).Select(i => (byte)(value >> 8 * (size - i)));
    }

    static long Number(byte[] data, int offset, int size)
    {
        return Enumerable.Range(offset, size).Aggregate(0L, (value, i) => value << 8 | data[i]);
    }
}
