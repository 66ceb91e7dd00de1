// The measurement-file loader in all three load modes, plain and enciphered.
// The first byte chooses the mode (bits 0-1) and whether the rest, the plain
// file image, is enciphered with the harness's password first (bit 2).
#include <QBuffer>

#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

template <typename T>
void Put(QBuffer& out, const T& value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

// Everything a store holds, written with the file's own writers where there
// are some, so two stores compare byte for byte (a NaN included).
QByteArray StoreImage(const TDaten& store) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    const TsaveItHeader13 header = store.GetHeader();
    Put(out, header.theData);
    fuzz::Require(WriteHeaderTexts(out, header) >= 0, "header texts could not be written");
    for (int32_t i = 0; i < store.GetWerteAnzahl(); ++i) {
        Put(out, store.GetWert(i));
    }
    for (int32_t i = 0; i < store.GetNumBlocks(); ++i) {
        TBlockDaten8 block;
        store.GetBlock(i, block);
        fuzz::Require(WriteBlockRecord(out, block), "a block could not be written");
    }
    for (int32_t i = 0; i < store.GetSmsCount(); ++i) {
        const TSMS message = store.GetSms(i);
        Put(out, message.zeitpunkt);
        out.write(reinterpret_cast<const char*>(message.meldung.utf16()), message.meldung.size() * 2);
    }
    Put(out, store.Loaded());
    return image;
}

// Every reader of derived values: none may throw or overflow on a loaded store.
void ReadEveryDerivedValue(const TDaten& store) {
    for (int32_t id = 0; id < 3; ++id) {
        (void)store.GetRealLimit(id);
        (void)store.GetRealWarn(id);
        (void)store.ForceProt(id);
        (void)store.ProtInfo(id);
        (void)store.InsProtokoll(id);
        (void)store.GetFilter(id);
    }
    for (int32_t lang : {1, 2}) {
        (void)store.GetLEQLabel(lang);
        (void)store.GetLEQKLabel(lang);
    }
    for (int32_t id : {kWeightingA, kWeightingC, kWeightingZ, kKorrMeasurement}) {
        (void)store.GetKorr(id);
        (void)store.GetKorrTime(id);
    }
    for (int32_t id : {kRefCalibration, kRefCheckBefore, kRefCheckAfter, kRefPrevious}) {
        (void)store.GetSplRef(id);
    }
    for (int32_t n = 1; n <= 3; ++n) {
        (void)store.GetKorrPattern(n);
    }
    (void)store.GetWarnLeqK();
    (void)store.GetMaxLeqK();
    (void)store.GetPeakLabel();
    (void)store.GetRefTime();
    (void)store.GetStartTime();
    (void)store.GetStopTime();
    (void)store.GetDauerInMinuten();
    (void)store.IsValidCal();
    (void)store.GetOffDif();
    (void)store.GetLastOffTime();
    (void)store.GetLastOffValue();
    (void)store.GetLastCheckKind();
    (void)store.GetPreviousValue();
    (void)store.GetFilterStatus();
    (void)store.GetLastKorrId();
    (void)store.GetLastKorrText();
    (void)store.GetNumDifLoc();
    (void)store.GetMessDauer();
    (void)store.GetNKS();
    (void)store.GetMinKorrSpl();
    (void)store.GetVMicCalVal();
    (void)store.GetClipCount();
    (void)store.GetMaxData();
    (void)store.GetFlags();
}

// A store that already holds something, so a load that changes it shows.
void FillBefore(TDaten& store) {
    store.SetORT(QStringLiteral("before"));
    TSaveIT6 value;
    value.id = 0;
    value.TimeStamp = 46000.5;
    value.leq = 90.0;
    store.AddWert(value);
    store.AddSms(QStringLiteral("before"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseFixedAnswers();
    SetPasswordRetryWaitForTests([](int32_t) {});
    language = kLangEnglish;
    return 0;
}

static int TestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const int32_t loadMode = kLoadEverything + data[0] % 3;
    const bool enciphered = (data[0] & 4) != 0;
    const QByteArray image = fuzz::Bytes(data + 1, size - 1);
    const QByteArray file = enciphered ? EncipherFileImage(image, fuzz::kPassword) : image;
    const QString path = fuzz::WriteFile(QStringLiteral("input.vtm"), file);

    TDaten store;
    FillBefore(store);
    const QByteArray before = StoreImage(store);
    QString why;
    const int32_t result = store.LoadFromFile(path, loadMode, &why);
    fuzz::Require(fuzz::ReadFile(path) == file, "the loader changed the file it read");
    if (result != kLoadDone) {
        fuzz::Require(StoreImage(store) == before, "a failed load changed the store");
        fuzz::Require(!why.isEmpty(), "a failed load did not say why");
        return 0;
    }
    ReadEveryDerivedValue(store);
    if (loadMode != kLoadEverything) {
        return 0;
    }

    // What the store holds after a save is exactly what the saved file loads as.
    const QString savedPath = fuzz::PathOf(QStringLiteral("saved.vtm"));
    fuzz::Require(store.SaveToFile(savedPath, enciphered ? fuzz::kPassword : QString()),
                  "a loaded store could not be saved");
    const QByteArray saved = StoreImage(store);
    TDaten again;
    fuzz::Require(again.LoadFromFile(savedPath, kLoadEverything, &why) == kLoadDone, "a saved file did not load");
    fuzz::Require(StoreImage(again) == saved, "load, save, load changed the measurement");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
