/* SPDX-License-Identifier: MIT */
using System;

namespace Nerb.Kq7
{
    /// <summary>A device call that returned one of the KQ7_ERR_ codes.</summary>
    public sealed class Kq7Exception : Exception
    {
        public Kq7Exception(Kq7Result result, string function)
            : base(function + ": " + Kq7Native.kq7_strerror((int)result))
        {
            Result = result;
        }

        public Kq7Result Result { get; private set; }
    }
}
