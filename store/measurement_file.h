#pragma once
// The measurement file ".vtm", format version 14, and its encipherment. The
// store's own operations (TDaten::SaveToFile, LoadFromFile, EndMessung and
// the text and block writers) are declared with the store; this header holds
// the layout, the pieces that the crash backups and the restore share, and
// the encipherment of a whole file image.
//
// Layout, all numbers little-endian: the 368-byte TSaveData13 record
// (Version 14), the 29 header texts as stream strings in file order, NumBlock
// blocks (88 bytes of numbers, then the remark as a stream string), NumWerte
// values of 44 bytes, NumSMS messages (an 8-byte date-time and a stream
// string), and the 64-bit terminator 255.
//
// An enciphered file is the 4-byte marker followed by the stream-form
// ciphertext (Rijndael, Tiger, store/password_encryption.h) of the marker
// and the plain image; the key text is a fixed prefix followed by the
// password. A wrong password shows only in the deciphered inner marker.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "store/measurement_records.h"

class QIODevice;
class TDaten;

// Load modes of TDaten::LoadFromFile.
inline constexpr int32_t kLoadEverything = 1;
inline constexpr int32_t kLoadHeaderOnly = 2;        // no password prompt
inline constexpr int32_t kLoadHeaderForImport = 3;   // with the password prompt

// Results of TDaten::LoadFromFile and of TryDecrypt.
inline constexpr int32_t kLoadDone = 0;
inline constexpr int32_t kLoadFailed = 1;
inline constexpr int32_t kLoadCancelled = 2;
inline constexpr int32_t kWrongPassword = 1;  // TryDecrypt only

inline constexpr uint32_t kEncipheredFileMarker = 0x0985979F;
// A password shorter than this writes a plain file.
inline constexpr int32_t kMinFilePasswordLength = 2;
inline constexpr int64_t kFileTerminator = 255;

inline constexpr int32_t kHeaderRecordBytes = static_cast<int32_t>(sizeof(TSaveData13));
inline constexpr int32_t kWertBytes = static_cast<int32_t>(sizeof(TSaveIT6));
inline constexpr int32_t kBlockNumberBytes = static_cast<int32_t>(sizeof(TBlockDaten8Fields));

// The largest measurement file the loader reads: 48 hours of recording with
// every record at its cap (a value every second, the shortest save interval;
// a block every minute, the shortest Leq interval, with its remark at the
// longest text; a message every second, each at the longest text), all 29
// header texts at the longest text, the terminator and the encipherment's
// 8 bytes. A larger file cannot come from this program and is refused before
// it is read.
inline constexpr int64_t kLongestFileMeasurementSeconds = 48 * 3600;
inline constexpr int64_t kLongestStreamStringBytes = 4 + 2500;
inline constexpr int64_t kLargestMeasurementFileBytes =
    kHeaderRecordBytes + kHeaderTextCount * kLongestStreamStringBytes +
    (kLongestFileMeasurementSeconds / 60) * (kBlockNumberBytes + kLongestStreamStringBytes) +
    kLongestFileMeasurementSeconds * kWertBytes + kLongestFileMeasurementSeconds * (8 + kLongestStreamStringBytes) +
    8 + 8;

// The size figure the writer puts into DataSize (96 and 44 are the in-memory
// sizes of a block and a value, 376 the header record and the terminator).
int64_t FileDataSize(int32_t numBlock, int32_t numWerte);

// A file that could not be created or written. The target keeps its old
// content: every file is written whole to a temporary file first.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The key text of a measurement-file password: the fixed prefix followed by
// the password exactly as given (no trimming).
QString FilePasswordKeyText(const QString& password);

// marker + ciphertext of (marker + plain), the same length as plain plus 8.
// Throws std::runtime_error when the cipher fails its self test.
QByteArray EncipherFileImage(const QByteArray& plain, const QString& password);
// True when file begins with the marker.
bool IsEncipheredFile(const QByteArray& file);
// Deciphers an enciphered file in place (file then holds the plain image,
// beginning with its version word). False, file unchanged, when the password
// is wrong or file is no enciphered file.
bool DecipherFileImage(QByteArray& file, const QString& password);

// One attempt to open an enciphered file. Without a password the prompt asks
// for one (file mode, fn as its name, at the mouse position). Answers 0
// deciphered (file holds the plain image, *usedPassword the password), 1
// wrong password, 2 cancelled; file changes only on 0.
int32_t TryDecrypt(QByteArray& file, const QString& fn, const QString* password, QString* usedPassword = nullptr);

// The 29 header texts in file order (the in-memory order with KALOFF moved
// to the end). Answers the bytes written, -1 when the device refused.
int32_t WriteHeaderTexts(QIODevice& out, const TsaveItHeader13& header);
// False when a text is missing or damaged; the texts before it are assigned.
bool ReadHeaderTexts(QIODevice& in, TsaveItHeader13& header);
// Exactly size bytes into to; false (nothing consumed) when fewer are left.
bool ReadExactly(QIODevice& in, void* to, qint64 size);
// count value records; false (werte then undefined) when count is negative
// or the records are cut short. Nothing is allocated before the test.
bool ReadValueRecords(QIODevice& in, int32_t count, std::vector<TSaveIT6>& werte);
// One block in the file's block form. False when the device refused.
bool WriteBlockRecord(QIODevice& out, const TBlockDaten8& block);
// False when the block is cut short or its remark is damaged.
bool ReadBlockRecord(QIODevice& in, TBlockDaten8& block);

// Message boxes of the file operations, through the dialog service. Captions
// are text ids; 0 leaves a button out. The owner is the main window.
int AskFileQuestion(const QString& text, int32_t textId, const QString& header, int32_t headerId, int32_t leftId,
                    int32_t rightId);

// Tests replace the waits between password retries (seconds) and the reader
// of older versions; nullptr restores the real ones.
void SetPasswordRetryWaitForTests(std::function<void(int32_t seconds)> wait);
using OldFormatReader = std::function<int32_t(TDaten& scratch, QIODevice& stream, int32_t loadMode, int32_t version)>;
void SetOldFormatReaderForTests(OldFormatReader reader);
