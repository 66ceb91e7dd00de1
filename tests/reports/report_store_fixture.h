#pragma once
// A measurement store as the printed and text reports meet it: event and
// calibration data, values every interval from 22:00 on (across midnight),
// 30-minute blocks (one ending at midnight, one with a "Delta" remark, one
// with clipping) and timed messages. Saved and loaded back in full, so the
// reports read what a file gives.
#include <QString>

#include <cmath>

#include "platform/date_time.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"

namespace report_fixture {

inline const double kStart = platform::EncodeDateTime(2026, 12, 10, 22, 0, 0, 0);
inline constexpr double kSecond = 1.0 / 86400.0;

struct Shape {
    int32_t values = 180;
    int32_t secondsPerValue = 60;
    int32_t blocks = 6;
    int32_t messages = 2;
};

inline void FillHeader(TDaten& d, const Shape& shape) {
    d.SetVeranstaltung("Open Air");
    d.SetLocationText("Town Hall");
    d.SetAdresse("Market Square 1");
    d.SetPLZ("12345");
    d.SetORT("Springfield");
    d.SetVeranstalter("City Events");
    d.SetZeitraum("22:00 - 01:00");
    d.SetMessFirma("Sound Check Ltd");
    d.SetUnterzeichner("M. Muster");
    d.SetPAText("Line array, FoH 30 m");
    d.SetSoundCard("Simulated sine");
    d.SetLimitText("Limiter at 135 dB");
    d.SetHinweisText("Nothing special.");
    d.SetStartTime(kStart);
    d.SetStopTime(kStart + shape.values * shape.secondsPerValue * kSecond);
    d.SetFilter(0, 1);
    d.SetFilter(1, 4);
    d.SetFilter(2, 2);
    d.SetProtStatus(2, 1, 2);
    d.SetMaxLEQ(99);
    d.SetMaxPeak(135);
    d.SetLEQDauer(1800);
    d.SetLEQKurzDauer(10);
    d.SetKorrArt(1);
    d.SetKorrTime(1, kStart - 0.10);
    d.SetKorrTime(2, kStart - 0.08);
    d.SetKorrTime(4, kStart - 0.06);
    d.SetKorrTime(8, kStart - 0.05);
    d.SetKorrText(1, "Neighbour A");
    d.SetKorrText(2, "Neighbour C");
    d.SetKorrText(4, "Neighbour Z");
    d.SetKorrText(8, "FoH");
    d.SetKorrVal(1, -3.25);
    d.SetKorrVal(2, 0.0);
    d.SetCalArt(0);
    d.SetCalTime(kStart - 0.2);
    d.SetCalText("Calibrator 94 dB");
    d.SetLEQmax(101.4, kStart + 0.05);
    d.SetPeakMax(128.6, kStart + 0.06);
    d.SetLEQKmax(104.2, kStart + 0.07);
}

inline void FillValues(TDaten& d, const Shape& shape) {
    for (int32_t i = 0; i < shape.values; ++i) {
        TSaveIT6 v;
        v.id = i + 1;
        v.TimeStamp = kStart + (i + 1) * shape.secondsPerValue * kSecond;
        v.leq = 90.0 + (i % 13);
        v.LeqK = 92.0 + (i % 11);
        v.Peak = 120.0 + (i % 7);
        v.clipCount = i % 50 == 0 ? 960 : 0;
        d.AddWert(v);
    }
    const double blockLength = 1800 * kSecond;
    for (int32_t b = 0; b < shape.blocks; ++b) {
        TBlockDaten8 block;
        block.id = b;
        block.start = kStart + b * blockLength;
        block.ende = block.start + blockLength;
        block.leq = 95.0 + b;
        block.leqK = 97.0 + b;
        block.dBCMax = 125.0 + b;
        if (b == 1) block.remarkStr = "Delta 2.5%";
        if (b == 2) block.clipCount = 960;
        d.AddBlock(block);
    }
    for (int32_t m = 0; m < shape.messages; ++m) d.AddSms(QStringLiteral("Message %1").arg(m + 1));
}

// The store written to path and loaded back completely into target.
inline bool MakeLoadedStore(const QString& path, TDaten& target, const Shape& shape = Shape()) {
    TDaten scratch;
    FillHeader(scratch, shape);
    FillValues(scratch, shape);
    scratch.SetSaveName(path);
    if (!scratch.SaveToFile(path, QString())) return false;
    return target.LoadFromFile(path, kLoadEverything) == kLoadDone;
}

}  // namespace report_fixture
