/* SPDX-License-Identifier: MIT */
/*
 * Uses the installed library over a silent link: registers the two host
 * functions, lets identification fail and reads back the (empty) record.
 * Prints the header's version on its first line; exits 0 when every call
 * behaved as documented.
 */
#include <stdio.h>
#include <string.h>

#include <nerb_kq7lib.h>

static unsigned char firstWrite[3];
static int64_t bytesWritten;

static int64_t KQ7_CALL RecordWrite(const uint8_t *data, int64_t length) {
    int64_t i;
    for (i = 0; i < length && bytesWritten + i < (int64_t)sizeof firstWrite; ++i) {
        firstWrite[bytesWritten + i] = data[i];
    }
    bytesWritten += length;
    return length;
}

/* The sensor never answers. */
static int64_t KQ7_CALL ReadNothing(uint8_t *dest, int64_t maxLength) {
    (void)dest;
    (void)maxLength;
    return 0;
}

static int Expect(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "consumer: %s\n", what);
    }
    return ok ? 0 : 1;
}

int main(void) {
    /* Header 0x55 0xAA, then the identification query's command byte. */
    static const unsigned char identQueryStart[3] = {0x55, 0xAA, 0x50};
    SensorInfoC info;
    int failures = 0;
    int initResult;

    printf("nerb_kq7lib %d.%d.%d\n", NERB_KQ7LIB_VERSION_MAJOR, NERB_KQ7LIB_VERSION_MINOR,
           NERB_KQ7LIB_VERSION_PATCH);
    fflush(stdout);

    KQ7Set_Serial_FUN(RecordWrite, ReadNothing);
    initResult = KQ7SensorInit();
    info = KQ7Get_SensorInfo();

    failures += Expect(initResult == 0, "KQ7SensorInit did not return 0 on a silent link");
    failures += Expect(bytesWritten > 0 && memcmp(firstWrite, identQueryStart, sizeof firstWrite) == 0,
                       "no identification query was written");
    failures += Expect(info.bandnumber == 0 && info.maxValue == 0 && info.identField1[0] == '\0',
                       "the record of a failed identification is not empty");
    if (failures == 0) {
        printf("consumer: ok\n");
    }
    return failures == 0 ? 0 : 1;
}
