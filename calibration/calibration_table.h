#pragma once
// The calibration-log table: the log newest first, filtered by kind and by
// audio device, with the details of one entry, the mean and the standard
// deviation of the logged values, the remark editor, deletion and printing.
//
// Closing the window only tells its owner (notification 298), which frees
// it. Every change to the log is handed to the saved callback, which writes
// the log at once.
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/window_messages.h"

class QMenu;
class QMenuBar;
class QAction;
class QPainter;
class TCalLog;
class TCalLogEdit;
class TPaintBox32;

class TShowCalTable : public QWidget {
public:
    static constexpr int32_t kFilterAll = 27;
    static constexpr int32_t kFilterCalibrations = 3;
    static constexpr int32_t kFilterVerifications = 24;
    static constexpr int32_t kVisibleRows = 12;

    // owner receives notification 298 when the window is closed.
    TShowCalTable(TCalLog* log, std::function<void()> saved, platform::WindowHandle owner, QWidget* parent);
    ~TShowCalTable() override;

    void DoFilter(int32_t newFilter);
    // Device filter: an index into the device list, -1 for none.
    void SetDeviceFilter(int32_t index);
    // Selects position p of the filtered list (-1 clears the selection).
    void SelectRow(int32_t p, bool recompute);
    // A mouse press in the list at height y.
    void PressList(int y);
    void ScrollUp();
    void ScrollDown();
    void SelectNewer();
    void SelectOlder();
    void EditClick();
    void DeleteClick();
    void ClearAllClick();
    // Prints the listed entries; false when the print dialog was cancelled,
    // there is no log or the job failed.
    bool PrintList();
    // The print-out into a painter whose device is a page of pageSize
    // pixels; newPage starts the next page. Answers the pages drawn.
    int32_t PaintPrintout(QPainter& painter, const QSize& pageSize, const std::function<bool()>& newPage) const;

    int32_t Filter() const { return filter_; }
    const std::vector<int32_t>& Filtered() const { return aFiltered_; }
    int32_t SelId() const { return selId_; }
    int32_t StartId() const { return startId_; }
    bool CanMove() const { return canMove_; }
    double RowHeight() const { return dyMain_; }
    const QStringList& Devices() const { return myDevList_; }
    int32_t DeviceFilter() const { return myDevFilterId_; }
    // The log ids of the rows drawn, top to bottom.
    std::vector<int32_t> VisibleIds() const;
    QString DeviceLineText() const;
    bool DeviceLineBold() const { return myDevFilterId_ >= 0; }
    TCalLogEdit* Editor() const { return hce_; }
    platform::WindowHandle Handle() const { return handle_; }
    TPaintBox32* pbMain() const { return pbMain_; }
    TPaintBox32* pbBottom() const { return pbBottom_; }
    TPaintBox32* pbRight() const { return pbRight_; }
    TPaintBox32* pbEdit() const { return pbEdit_; }
    TPaintBox32* pbDelete() const { return pbDelete_; }
    TPaintBox32* pbClose() const { return pbClose_; }
    QMenu* FilterMenu() const { return miFilter_; }
    QMenu* DeviceMenu() const { return mmFDSel_; }
    // Rebuilds the filter menu's checks and device list as when it opens.
    void PrepareFilterMenu();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void BuildMenu();
    void Layout();
    void SizeList();
    void RepaintAll();
    void PaintList(TPaintBox32* box);
    void PaintDetails(TPaintBox32* box);
    void PaintDevice(TPaintBox32* box);
    void PaintArrows(TPaintBox32* box);
    void EditorClosed();
    int32_t ListLength() const { return static_cast<int32_t>(aFiltered_.size()); }

    TCalLog* log_;
    std::function<void()> saved_;
    platform::WindowHandle owner_;
    platform::WindowHandle handle_ = 0;
    double mySf_ = 1.0;
    double dyMain_ = 20.0;
    int32_t selId_ = -1;
    int32_t startId_ = 0;
    bool canMove_ = false;
    bool bUp_ = false;
    bool bDown_ = false;
    int32_t filter_ = 0;
    QStringList myDevList_;
    int32_t myDevFilterId_ = -1;
    std::vector<int32_t> aFiltered_;
    QRect taR_, taC_, rUp_, rDown_;
    TCalLogEdit* hce_ = nullptr;

    QMenuBar* mainM_ = nullptr;
    QMenu* mmMain_ = nullptr;
    QMenu* miFilter_ = nullptr;
    QMenu* mmFDSel_ = nullptr;
    QAction* miFilterKal_ = nullptr;
    QAction* miFilterOff_ = nullptr;
    QAction* miFilterAll_ = nullptr;
    TPaintBox32* pbMain_ = nullptr;
    TPaintBox32* pbRight_ = nullptr;
    TPaintBox32* pbBottom_ = nullptr;
    TPaintBox32* pbDevice_ = nullptr;
    TPaintBox32* pbClose_ = nullptr;
    TPaintBox32* pbDelete_ = nullptr;
    TPaintBox32* pbEdit_ = nullptr;
};
