/* SPDX-License-Identifier: MIT */
// One KQ7 sensor on a link that the host owns: a Stream (a SerialPort's
// BaseStream) or a pair of read/write delegates. Every call runs on the
// caller's thread and throws Kq7Exception when the library reports a failure.
using System;
using System.IO;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Threading;

namespace Nerb.Kq7
{
    public sealed class Kq7Device : IDisposable
    {
        /// <summary>Sends data[0..count); the array is reused once it returns.</summary>
        public delegate void LinkWrite(byte[] data, int count);

        /// <summary>
        /// Stores at most `count` received bytes in buffer[0..count) and returns
        /// how many, 0 when none are there yet. It should wait briefly (a few
        /// milliseconds) for the first byte rather than return 0 at once.
        /// </summary>
        public delegate int LinkRead(byte[] buffer, int count);

        // Largest read handed to the host at once; the library asks again for the rest.
        const int ReadChunk = 64 * 1024;

        // The only delegates the library ever holds: static, so never collected
        // while it might call them. Each finds its device through `context`.
        static readonly Kq7Native.LinkWriteFn WriteThunk = OnWrite;
        static readonly Kq7Native.LinkReadFn ReadThunk = OnRead;
        static readonly Kq7Native.LogFn LogThunk = OnLog;

        readonly LinkWrite write;
        readonly LinkRead read;
        // One call at a time; Dispose waits for the running one.
        readonly object callGate = new object();
        // Guards `device` itself, so that Cancel never meets a closed device.
        readonly object deviceGate = new object();
        IntPtr device;
        GCHandle self;
        byte[] transfer = new byte[0];
        Exception pending;
        Action<string> log;
        // Calls running on this device: more than none only inside a host function.
        int depth;

        /// <summary>
        /// A device on a stream. Give it a short read timeout (10 ms on a
        /// SerialPort): a read that times out counts as "nothing yet".
        /// </summary>
        public Kq7Device(Stream link)
            : this(WriterOf(link), (buffer, count) => ReadOrNothing(link, buffer, count))
        {
        }

        public Kq7Device(LinkWrite write, LinkRead read)
        {
            if (write == null || read == null)
                throw new ArgumentNullException(write == null ? "write" : "read");
            // A plain DllNotFoundException here rather than a type initializer's.
            NativeLibraryLoader.EnsureLoaded();
            this.write = write;
            this.read = read;
            // Weak: an undisposed device can still be collected and finalized.
            self = GCHandle.Alloc(this, GCHandleType.Weak);
            device = Kq7Native.kq7_open(WriteThunk, ReadThunk, GCHandle.ToIntPtr(self));
            if (device == IntPtr.Zero)
            {
                self.Free();
                throw new OutOfMemoryException("kq7_open");
            }
        }

        ~Kq7Device()
        {
            Close();
        }

        /// <summary>Lines the library writes about its exchanges (frame dumps, retries).</summary>
        public event Action<string> Log
        {
            add
            {
                lock (callGate)
                {
                    RefuseInsideCall();
                    if (log == null)
                        Kq7Native.kq7_set_log(Handle, LogThunk, GCHandle.ToIntPtr(self));
                    log += value;
                }
            }
            remove
            {
                lock (callGate)
                {
                    RefuseInsideCall();
                    log -= value;
                    if (log == null && device != IntPtr.Zero)
                        Kq7Native.kq7_set_log(Handle, null, IntPtr.Zero);
                }
            }
        }

        public void Identify()
        {
            Call("kq7_identify", d => Kq7Native.kq7_identify(d));
        }

        /// <summary>The record of the last successful Identify.</summary>
        public SensorInfoC Info
        {
            get
            {
                SensorInfoC info = new SensorInfoC();
                Call("kq7_get_info", d => Kq7Native.kq7_get_info(d, out info));
                return info;
            }
        }

        /// <summary>
        /// The wavelength in nm of each band (counted from 1), by the library's
        /// kq7_wavelengths, so that every host shows the same axis to the last bit.
        /// </summary>
        public double[] Wavelengths
        {
            get
            {
                SensorInfoC info = Info;
                var wavelengths = new double[Math.Max(info.bandnumber, 0)];
                // The library refuses a record without bands: that axis is empty.
                if (wavelengths.Length > 0)
                    Kq7Native.kq7_wavelengths(ref info, wavelengths, wavelengths.Length);
                return wavelengths;
            }
        }

        public void SetShutterOpen(bool open)
        {
            Call("kq7_set_shutter_open", d => Kq7Native.kq7_set_shutter_open(d, open ? 1 : 0));
        }

        /// <summary>One spectrum at `shutter`, a sample per band.</summary>
        public ushort[] Capture(int shutter)
        {
            var samples = new ushort[Info.bandnumber];
            int bands = Call("kq7_capture", d => Kq7Native.kq7_capture(d, shutter, samples, samples.Length));
            if (bands != samples.Length)
                Array.Resize(ref samples, bands);
            return samples;
        }

        /// <summary>
        /// The shutter value at which the peak lies just below `percent` of full
        /// scale. Throws with Kq7Result.OutOfRange when the search ended at a bound.
        /// </summary>
        public int AutoExposure(int percent)
        {
            int shutter = 0;
            Call("kq7_auto_exposure", d => Kq7Native.kq7_auto_exposure(d, percent, out shutter));
            return shutter;
        }

        /// <summary>4 to 124 coefficients, a0 first; the record changes at the next Identify.</summary>
        public void WriteCoefficients(params double[] coefficients)
        {
            if (coefficients == null)
                throw new ArgumentNullException("coefficients");
            Call("kq7_write_coefficients",
                 d => Kq7Native.kq7_write_coefficients(d, coefficients, coefficients.Length));
        }

        /// <summary>Ends the running call with Kq7Result.Cancelled; from any thread.</summary>
        public void Cancel()
        {
            lock (deviceGate)
            {
                if (device != IntPtr.Zero)
                    Kq7Native.kq7_cancel(device);
            }
        }

        /// <summary>Cancels a call running on another thread, waits for it to end and closes the device.</summary>
        public void Dispose()
        {
            if (!Monitor.IsEntered(callGate))
                Cancel();
            lock (callGate)
            {
                RefuseInsideCall();
                Close();
            }
            GC.SuppressFinalize(this);
        }

        IntPtr Handle
        {
            get
            {
                if (device == IntPtr.Zero)
                    throw new ObjectDisposedException("Kq7Device");
                return device;
            }
        }

        void Close()
        {
            lock (deviceGate)
            {
                if (device == IntPtr.Zero)
                    return;
                Kq7Native.kq7_close(device);
                device = IntPtr.Zero;
                self.Free();
            }
        }

        int Call(string function, Func<IntPtr, int> native)
        {
            lock (callGate)
            {
                IntPtr handle = Handle;
                ++depth;
                int result;
                try
                {
                    result = native(handle);
                }
                finally
                {
                    --depth;
                }
                // The callbacks find this object through a weak handle.
                GC.KeepAlive(this);
                Exception error = pending;
                pending = null;
                if (error != null)
                    ExceptionDispatchInfo.Capture(error).Throw();
                if (result < 0)
                    throw new Kq7Exception((Kq7Result)result, function);
                return result;
            }
        }

        // The library ignores a new log function and must not lose the device
        // while a call runs on it.
        void RefuseInsideCall()
        {
            if (depth > 0)
                throw new InvalidOperationException("not from inside a call on the same Kq7Device");
        }

        static LinkWrite WriterOf(Stream link)
        {
            if (link == null)
                throw new ArgumentNullException("link");
            return (data, count) => link.Write(data, 0, count);
        }

        static int ReadOrNothing(Stream link, byte[] buffer, int count)
        {
            try
            {
                return link.Read(buffer, 0, count);
            }
            catch (TimeoutException)
            {
                return 0;
            }
        }

        static Kq7Device From(IntPtr context)
        {
            return (Kq7Device)GCHandle.FromIntPtr(context).Target;
        }

        // Host functions run inside a library call: nothing may unwind out of
        // them. An exception is kept, the call cancelled, and Call rethrows it.
        void Keep(Exception error)
        {
            if (pending == null)
                pending = error;
            Kq7Native.kq7_cancel(device);
        }

        static long OnWrite(IntPtr context, IntPtr data, long length)
        {
            Kq7Device owner = From(context);
            try
            {
                int count = checked((int)length);
                if (owner.transfer.Length < count)
                    owner.transfer = new byte[count];
                Marshal.Copy(data, owner.transfer, 0, count);
                owner.write(owner.transfer, count);
                return length;
            }
            catch (Exception error)
            {
                owner.Keep(error);
                return 0;
            }
        }

        static long OnRead(IntPtr context, IntPtr dest, long maxLength)
        {
            Kq7Device owner = From(context);
            try
            {
                if (owner.pending != null)
                    return 0;
                int count = (int)Math.Min(Math.Max(maxLength, 0), ReadChunk);
                if (owner.transfer.Length < count)
                    owner.transfer = new byte[count];
                int received = owner.read(owner.transfer, count);
                if (received < 0 || received > count)
                    throw new InvalidOperationException(
                        string.Format("the read function returned {0} for at most {1} bytes", received, count));
                Marshal.Copy(owner.transfer, 0, dest, received);
                return received;
            }
            catch (Exception error)
            {
                owner.Keep(error);
                return 0;
            }
        }

        static void OnLog(IntPtr context, IntPtr line)
        {
            Kq7Device owner = From(context);
            try
            {
                Action<string> handlers = owner.log;
                if (handlers != null)
                    handlers(Marshal.PtrToStringAnsi(line));
            }
            catch (Exception error)
            {
                owner.Keep(error);
            }
        }
    }
}
