/* SPDX-License-Identifier: MIT */
// A KQ7 sensor in C#, served through link delegates: replies at once, with
// the CRC wildcard EE EE, and a spectrum that grows with the shutter value.
using System;
using System.Collections.Generic;
using System.Text;
using System.Threading;

sealed class EmulatedSensor
{
    public const string Identification = "KQ7-EMU00007";
    public const int Bands = 256;
    const int HeaderSize = 5; // 55 AA, command, payload length (big-endian)

    readonly Queue<byte> replies = new Queue<byte>();
    double[] coefficients = { 2e-9, -3e-5, 1.25, 330.0 };
    int shutter;

    /// <summary>Band counts, peaking at the last band with 6 counts per shutter unit.</summary>
    public static ushort Sample(int shutter, int band)
    {
        return (ushort)Math.Min(65535L, 6L * shutter * (band + 1) / Bands);
    }

    public void Write(byte[] data, int count)
    {
        int length = count >= HeaderSize ? data[3] << 8 | data[4] : -1;
        if (length < 0 || HeaderSize + length > count)
            throw new ArgumentException("incomplete request frame");
        byte command = data[2];
        var payload = new List<byte>();
        if (command == 0x50)
            payload.AddRange(Encoding.ASCII.GetBytes(Identification));
        else if (command == 0x57)
            AppendBigEndian(payload, Bands, 4);
        else if (command == 0x59)
            Array.ForEach(coefficients, c => AppendBigEndian(payload, BitConverter.DoubleToInt64Bits(c), 8));
        else if (command == 0x58 && length >= 8 * coefficients.Length)
            for (int k = 0; k < coefficients.Length; ++k)
                coefficients[k] = BitConverter.Int64BitsToDouble(BigEndian(data, HeaderSize + 8 * k, 8));
        else if (command == 0x51 && length >= 4)
            shutter = (int)BigEndian(data, HeaderSize, 4);
        else if (command == 0x61)
            for (int band = 0; band < Bands; ++band)
            {
                ushort sample = Sample(shutter, band); // low byte first
                payload.Add((byte)sample);
                payload.Add((byte)(sample >> 8));
            }
        lock (replies)
        {
            foreach (byte b in new byte[] { 0x55, 0xAA, command, (byte)(payload.Count >> 8), (byte)payload.Count })
                replies.Enqueue(b);
            payload.ForEach(replies.Enqueue);
            replies.Enqueue(0xEE);
            replies.Enqueue(0xEE);
        }
    }

    public int Read(byte[] buffer, int count)
    {
        lock (replies)
        {
            int n = Math.Min(count, replies.Count);
            for (int i = 0; i < n; ++i)
                buffer[i] = replies.Dequeue();
            if (n > 0)
                return n;
        }
        Thread.Sleep(1);
        return 0;
    }

    static void AppendBigEndian(List<byte> bytes, long value, int size)
    {
        for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
            bytes.Add((byte)(value >> shift));
    }

    static long BigEndian(byte[] data, int offset, int size)
    {
        long value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | data[offset + i];
        return value;
    }
}
