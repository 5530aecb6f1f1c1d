/* SPDX-License-Identifier: MIT */
// The C declarations of nerb_kq7lib.h for C#: the device interface (used by
// Kq7Device) and the seven exports, for code written against them.
//
// Every export is bound at run time from the library that NativeLibraryLoader
// finds, through a delegate type with CallingConvention.Winapi: that is
// KQ7_CALL everywhere (__stdcall on 32-bit Windows, the platform's C
// convention elsewhere), where Cdecl would break 32-bit Windows.
//
// What the library relies on, and how this file keeps to it:
// - It keeps the host functions until they are replaced or the device is
//   closed. A delegate handed to native code must therefore stay reachable
//   that long, or Microsoft's runtime collects it and the next callback jumps
//   into freed memory (mono keeps such delegates, so nothing shows there).
//   KQ7Set_Serial_FUN below keeps the host's delegates in static fields until
//   replaced; Kq7Device hands out only delegates held in static fields.
// - Host functions must return: an exception may not unwind through the
//   library. KQ7Set_Serial_FUN wraps the host's delegates so that an
//   exception is caught and kept, the call is cancelled, and the export that
//   was running rethrows it once it has returned.
using System;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;

namespace Nerb.Kq7
{
    /// <summary>The KQ7_OK and KQ7_ERR_ codes of the device interface.</summary>
    public enum Kq7Result
    {
        Ok = 0,
        InvalidArgument = -1,
        NotIdentified = -2,
        NoReply = -3,
        RejectedReply = -4,
        Busy = -5,
        BadIdentification = -6,
        ShortSpectrum = -7,
        OutOfRange = -8,
        Cancelled = -9,
        InUse = -10,
    }

    /// <summary>
    /// The 228-byte identification record, laid out as in C. Blittable (fixed
    /// buffers instead of ByValTStr), so that .NET Framework can return it by
    /// value from KQ7Get_SensorInfo.
    /// </summary>
    [StructLayout(LayoutKind.Sequential, Size = 228)]
    public unsafe struct SensorInfoC
    {
        public const int TextSize = 100;
        public const int CoefficientCount = 4;

        public fixed byte identField1[TextSize]; // model, NUL-terminated
        public int maxValue;
        public int bandnumber;
        public fixed byte identField2[TextSize]; // serial, NUL-terminated
        public fixed float coeff[CoefficientCount]; // a0 (cubic term) to a3 (constant)
        public byte flag;

        public string Model
        {
            get { fixed (byte* text = identField1) return Text(text); }
        }

        public string Serial
        {
            get { fixed (byte* text = identField2) return Text(text); }
        }

        public float[] Coefficients
        {
            get
            {
                var values = new float[CoefficientCount];
                fixed (float* source = coeff)
                {
                    for (int k = 0; k < CoefficientCount; ++k)
                        values[k] = source[k];
                }
                return values;
            }
        }

        // Up to the first NUL, never past the field.
        static string Text(byte* field)
        {
            int length = 0;
            while (length < TextSize && field[length] != 0)
                ++length;
            return Encoding.UTF8.GetString(field, length);
        }
    }

    public static class Kq7Native
    {
        // Host functions of the device interface; `context` is kq7_open's.
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate long LinkWriteFn(IntPtr context, IntPtr data, long length);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate long LinkReadFn(IntPtr context, IntPtr dest, long maxLength);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate void LogFn(IntPtr context, IntPtr line);

        // Host functions of the seven exports.
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate long SerialWriteFn(IntPtr data, long length);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate long SerialReadFn(IntPtr dest, long maxLength);

        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate IntPtr OpenFn(LinkWriteFn write, LinkReadFn read, IntPtr context);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate void DeviceFn(IntPtr device);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int DeviceCallFn(IntPtr device);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int GetInfoFn(IntPtr device, out SensorInfoC info);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int DeviceIntFn(IntPtr device, int value);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int CaptureFn(IntPtr device, int shutter, [In, Out] ushort[] samples, int capacity);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int AutoExposureFn(IntPtr device, int percent, out int shutter);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int WriteCoefficientsFn(IntPtr device, double[] coeffs, int count);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate void SetLogFn(IntPtr device, LogFn log, IntPtr context);
        // Static texts of the library: returned as IntPtr, since a string
        // return would make the marshaller free them.
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate IntPtr StrErrorFn(int result);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate IntPtr VersionFn();
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        public delegate int WavelengthsFn(ref SensorInfoC info, [Out] double[] nm, int capacity);

        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate void SetSerialFn(SerialWriteFn write, SerialReadFn read);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate int NoArgumentFn();
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate SensorInfoC GetSensorInfoFn();
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate void IntArgumentFn(int value);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate int GetDataFn([In, Out] ushort[] buffer, int shutter);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate int IntToIntFn(int value);
        [UnmanagedFunctionPointer(CallingConvention.Winapi)]
        delegate int SetCoefficientsFn(double[] coeffs, int count);

        // The device interface, which Kq7Device wraps. A caller of kq7_open
        // itself keeps its delegates reachable until kq7_close.
        public static readonly OpenFn kq7_open = Bind<OpenFn>("kq7_open");
        public static readonly DeviceFn kq7_close = Bind<DeviceFn>("kq7_close");
        public static readonly DeviceCallFn kq7_identify = Bind<DeviceCallFn>("kq7_identify");
        public static readonly GetInfoFn kq7_get_info = Bind<GetInfoFn>("kq7_get_info");
        public static readonly DeviceIntFn kq7_set_shutter_open = Bind<DeviceIntFn>("kq7_set_shutter_open");
        public static readonly CaptureFn kq7_capture = Bind<CaptureFn>("kq7_capture");
        public static readonly AutoExposureFn kq7_auto_exposure = Bind<AutoExposureFn>("kq7_auto_exposure");
        public static readonly WriteCoefficientsFn kq7_write_coefficients =
            Bind<WriteCoefficientsFn>("kq7_write_coefficients");
        public static readonly DeviceFn kq7_cancel = Bind<DeviceFn>("kq7_cancel");
        public static readonly SetLogFn kq7_set_log = Bind<SetLogFn>("kq7_set_log");
        public static readonly WavelengthsFn kq7_wavelengths = Bind<WavelengthsFn>("kq7_wavelengths");
        static readonly StrErrorFn strerror = Bind<StrErrorFn>("kq7_strerror");
        static readonly VersionFn version = Bind<VersionFn>("kq7_version");

        public static string kq7_strerror(int result)
        {
            return Marshal.PtrToStringAnsi(strerror(result));
        }

        public static string kq7_version()
        {
            return Marshal.PtrToStringAnsi(version());
        }

        // The seven exports. Export names are a compatibility contract, typos
        // included ("KQ7OptSnenser", "KQ7SetWeaveLenthCoeff").
        static readonly SetSerialFn setSerial = Bind<SetSerialFn>("KQ7Set_Serial_FUN");
        static readonly NoArgumentFn sensorInit = Bind<NoArgumentFn>("KQ7SensorInit");
        static readonly GetSensorInfoFn getSensorInfo = Bind<GetSensorInfoFn>("KQ7Get_SensorInfo");
        static readonly IntArgumentFn setShutterOpen = Bind<IntArgumentFn>("KQ7SetShutterOpen");
        static readonly GetDataFn getData = Bind<GetDataFn>("KQ7GetData");
        static readonly IntToIntFn optSensor = Bind<IntToIntFn>("KQ7OptSnenser");
        static readonly SetCoefficientsFn setCoefficients = Bind<SetCoefficientsFn>("KQ7SetWeaveLenthCoeff");

        // What KQ7Set_Serial_FUN registered, kept until replaced.
        static readonly object exportsGate = new object();
        static Func<IntPtr, long, long> hostWrite;
        static Func<IntPtr, long, long> hostRead;
        static readonly SerialWriteFn guardedWrite = GuardedWrite;
        static readonly SerialReadFn guardedRead = GuardedRead;
        static Exception pending;

        public static void KQ7Set_Serial_FUN(SerialWriteFn write, SerialReadFn read)
        {
            lock (exportsGate)
            {
                hostWrite = write == null ? null : new Func<IntPtr, long, long>(write.Invoke);
                hostRead = read == null ? null : new Func<IntPtr, long, long>(read.Invoke);
                setSerial(write == null ? null : guardedWrite, read == null ? null : guardedRead);
            }
        }

        public static int KQ7SensorInit()
        {
            lock (exportsGate)
                return RethrowPending(sensorInit());
        }

        public static SensorInfoC KQ7Get_SensorInfo()
        {
            lock (exportsGate)
                return getSensorInfo();
        }

        public static void KQ7SetShutterOpen(int state)
        {
            lock (exportsGate)
            {
                setShutterOpen(state);
                RethrowPending(0);
            }
        }

        /// <summary>`buffer` must hold the band count of the last KQ7SensorInit.</summary>
        public static int KQ7GetData(ushort[] buffer, int shutter)
        {
            if (buffer == null || buffer.Length < getSensorInfo().bandnumber)
                throw new ArgumentException("the buffer holds fewer samples than the sensor has bands", "buffer");
            lock (exportsGate)
                return RethrowPending(getData(buffer, shutter));
        }

        public static int KQ7OptSnenser(int percent)
        {
            lock (exportsGate)
                return RethrowPending(optSensor(percent));
        }

        public static int KQ7SetWeaveLenthCoeff(double[] coeffs, int count)
        {
            if (coeffs == null || count < 0 || count > coeffs.Length)
                throw new ArgumentException("count exceeds the coefficients given", "count");
            lock (exportsGate)
                return RethrowPending(setCoefficients(coeffs, count));
        }

        static long GuardedWrite(IntPtr data, long length)
        {
            return Guarded(hostWrite, data, length);
        }

        static long GuardedRead(IntPtr dest, long maxLength)
        {
            return Guarded(hostRead, dest, maxLength);
        }

        static long Guarded(Func<IntPtr, long, long> host, IntPtr bytes, long length)
        {
            try
            {
                return host(bytes, length);
            }
            catch (Exception error)
            {
                KeepAndCancel(error);
                return 0;
            }
        }

        static void KeepAndCancel(Exception error)
        {
            // The first one tells what went wrong; later ones follow from it.
            if (pending == null)
                pending = error;
            kq7_cancel(IntPtr.Zero); // the device behind the seven exports
        }

        static int RethrowPending(int result)
        {
            Exception error = pending;
            pending = null;
            if (error != null)
                ExceptionDispatchInfo.Capture(error).Throw();
            return result;
        }

        // Explicit, so that the exports are bound at first use and not earlier:
        // Kq7Device reports a missing library before that.
        static Kq7Native()
        {
        }

        static T Bind<T>(string export) where T : class
        {
            return (T)(object)Marshal.GetDelegateForFunctionPointer(NativeLibraryLoader.Export(export), typeof(T));
        }
    }
}
