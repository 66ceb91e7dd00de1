#pragma once
// The whole window on the simulated sine, idle or measuring, with the
// notifications it handles recorded with their arguments, and the checks
// and grabs of its layout.
#include <QDir>

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "measurement_run_fixture.h"
#include "ui_kit/paint_box.h"

namespace test_support {

class MainFormConcurrent : public MeasurementRunConcurrent {
protected:
    void StartOnTheSine() {
        StartProgram();
        window->show();
    }
    void StartAndStore() {
        StartRun();
        ASSERT_TRUE(ProcessUntil([] { return messDaten.load()->GetWerteAnzahl() >= 2; }, 30000));
    }
    // The end of a run asks nothing.
    void StopRun() {
        window->StopMessung(2);
        ASSERT_FALSE(window->GetMessungLaeuft());
    }

    TPaintBox32* Panel(const char* name) const { return window->findChild<TPaintBox32*>(QString::fromLatin1(name)); }
    // Whether the handled notifications since index from hold (code, argument) pairs in this order.
    bool HandledInOrder(size_t from, const std::vector<std::pair<uintptr_t, intptr_t>>& wanted) const {
        size_t next = 0;
        for (size_t i = from; i < handled.size() && next < wanted.size(); ++i) {
            if (handled[i] == wanted[next]) ++next;
        }
        return next == wanted.size();
    }

    // The panels as placed: none overlaps another, none leaves the client
    // area, the right panel keeps its minimum, the logo sits on the lower areas.
    void ExpectCleanLayout(double scale, const QString& what) {
        const QWidget* client = window->centralWidget();
        std::vector<std::pair<QString, QRect>> placed;
        for (TPaintBox32* box : client->findChildren<TPaintBox32*>(QString(), Qt::FindDirectChildrenOnly)) {
            EXPECT_GE(box->width(), 0) << what.toStdString();
            EXPECT_GE(box->height(), 0) << what.toStdString();
            if (box->width() == 0 || box->height() == 0) continue;
            EXPECT_TRUE(client->rect().contains(box->geometry())) << what.toStdString() << " "
                                                                  << box->objectName().toStdString();
            placed.emplace_back(box->objectName(), box->geometry());
        }
        EXPECT_EQ(placed.size(), 13u) << what.toStdString();
        for (size_t i = 0; i < placed.size(); ++i) {
            for (size_t j = i + 1; j < placed.size(); ++j) {
                EXPECT_FALSE(placed[i].second.intersects(placed[j].second))
                    << what.toStdString() << ": " << placed[i].first.toStdString() << " overlaps "
                    << placed[j].first.toStdString();
            }
        }
        const int rightWidth = client->width() - Panel("pbTop")->width();
        EXPECT_GE(rightWidth, std::nearbyint(320 * scale)) << what.toStdString();
        EXPECT_EQ(Panel("pbLogo")->geometry().bottom() + 1, Panel("pbMitte")->y()) << what.toStdString();
    }

    // Grabs the window at both design sizes in both schemes into the build folder.
    void SaveShots(const QString& tag, double ratio) {
        const QString folder = QStringLiteral(VELTARO_BINARY_DIR) + "/screenshots";
        QDir().mkpath(folder);
        for (const QSize size : {QSize(990, 720), QSize(1437, 1070)}) {
            for (int scheme : {0, 1}) {
                window->SetDisplayColors(scheme, true);
                window->resize(size);
                ASSERT_TRUE(ProcessUntil([&] { return window->centralWidget()->width() > 0; }));
                QCoreApplication::processEvents();
                const QString name = QStringLiteral("%1/main_form_%2x%3_ratio%4_scheme%5_%6.png")
                                         .arg(folder)
                                         .arg(size.width())
                                         .arg(size.height())
                                         .arg(ratio)
                                         .arg(scheme)
                                         .arg(tag);
                ExpectCleanLayout(1.0, name);
                const QImage shot = window->grab().toImage();
                EXPECT_EQ(shot.devicePixelRatio(), ratio);
                ASSERT_TRUE(shot.save(name));
            }
        }
    }
    void SaveIdleAndRunningShots(double ratio) {
        ASSERT_TRUE(HearsTheTone());
        SaveShots(QStringLiteral("idle"), ratio);
        StartAndStore();
        SaveShots(QStringLiteral("running"), ratio);
    }

};

}  // namespace test_support
