#pragma once
// The fixture of the measurement-file tests: scripted dialogs, no waits
// between password retries, a temporary folder, and the store's content as
// its plain file image for before/after comparisons.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

#include "platform/user_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

class MeasurementFileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        language = kLangEnglish;
        platform::SetUserDialogs(&dialogs);
        SetPasswordRetryWaitForTests([this](int32_t s) { waits.push_back(s); });
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        SetPasswordRetryWaitForTests(nullptr);
        SetOldFormatReaderForTests(nullptr);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void WriteAll(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    // Everything a store holds, as its plain file image.
    QByteArray Snapshot(TDaten& store) {
        const QString path = Path(QStringLiteral("snapshot-%1.vtm").arg(snapshots_++));
        EXPECT_TRUE(store.SaveToFile(path, QString()));
        return ReadAll(path);
    }
    // Answers that no question took, dropped before the next case.
    void DropUnusedAnswers() {
        for (int i = dialogs.pendingCount(); i > 0; --i) {
            dialogs.ShowMessage(platform::MessageRequest{});
        }
    }

    platform::ScriptedDialogs dialogs;
    std::vector<int32_t> waits;

private:
    QTemporaryDir dir_;
    int snapshots_ = 0;
};
