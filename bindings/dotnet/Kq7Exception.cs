/* SPDX-License-Identifier: MIT */
using System;

namespace Nerb.Kq7
{
    /// <summary>A device call that returned one of the KQ7_ERR_ codes.</summary>
    public sealed class Kq7Exception : Exception
    {
        public Kq7Exception(Kq7Result result, string function)
            : this(result, function, "")
        {
        }

        /// <summary>`detail`: the device's last error message (kq7_last_error_message).</summary>
        public Kq7Exception(Kq7Result result, string function, string detail)
            : base(function + ": " + Kq7Native.kq7_strerror((int)result))
        {
            Result = result;
            Function = function;
            Detail = detail;
        }

        public Kq7Result Result { get; private set; }
        /// <summary>The library function that failed.</summary>
        public string Function { get; private set; }
        /// <summary>The last failure in words with its detail, "" when none.</summary>
        public string Detail { get; private set; }
    }
}
