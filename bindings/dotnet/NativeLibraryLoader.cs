/* SPDX-License-Identifier: MIT */
// Finds nerb_kq7lib and its exports. DllImport("nerb_kq7lib") would find
// only the unversioned libnerb_kq7lib.so, which comes with the -dev package;
// a machine with just the runtime package has libnerb_kq7lib.so.1. So the
// library is loaded here, trying in order: $NERB_KQ7LIB (a path), then each
// name below beside the program and then in the system's search path.
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;

namespace Nerb.Kq7
{
    public static class NativeLibraryLoader
    {
        public const string PathVariable = "NERB_KQ7LIB";
        static readonly string[] Names = { "nerb_kq7lib.dll", "libnerb_kq7lib.so.1", "libnerb_kq7lib.so" };

        static readonly object gate = new object();
        static IntPtr library;

        /// <summary>Loads the library once; throws DllNotFoundException naming every place tried.</summary>
        public static void EnsureLoaded()
        {
            lock (gate)
            {
                if (library == IntPtr.Zero)
                    library = Load();
            }
        }

        public static IntPtr Library
        {
            get
            {
                EnsureLoaded();
                return library;
            }
        }

        public static IntPtr Export(string name)
        {
            IntPtr address = IsWindows ? GetProcAddress(Library, name) : dlsym(Library, name);
            if (address == IntPtr.Zero)
                throw new EntryPointNotFoundException("nerb_kq7lib has no export " + name);
            return address;
        }

        static IntPtr Load()
        {
            var tried = new List<string>();
            foreach (string candidate in Candidates())
            {
                IntPtr handle = IsWindows ? LoadLibraryW(candidate) : dlopen(candidate, RTLD_NOW);
                if (handle != IntPtr.Zero)
                    return handle;
                tried.Add(candidate);
            }
            throw new DllNotFoundException("nerb_kq7lib not found; tried " + string.Join(", ", tried));
        }

        static IEnumerable<string> Candidates()
        {
            string explicitPath = Environment.GetEnvironmentVariable(PathVariable);
            if (!string.IsNullOrEmpty(explicitPath))
                yield return explicitPath;
            string programFolder = AppDomain.CurrentDomain.BaseDirectory;
            foreach (string name in Names)
            {
                yield return Path.Combine(programFolder, name);
                yield return name;
            }
        }

        static bool IsWindows
        {
            get { return Environment.OSVersion.Platform == PlatformID.Win32NT; }
        }

        const int RTLD_NOW = 2;

        [DllImport("libdl.so.2")]
        static extern IntPtr dlopen(string file, int mode);

        [DllImport("libdl.so.2")]
        static extern IntPtr dlsym(IntPtr handle, string name);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        static extern IntPtr LoadLibraryW(string file);

        [DllImport("kernel32", CharSet = CharSet.Ansi, ExactSpelling = true)]
        static extern IntPtr GetProcAddress(IntPtr module, string name);
    }
}
