#pragma once
// TProtokoll: the window that shows one measurement, read from a file or
// copied from the running measurement, as curves, as a list of single values
// with an overview strip, or as the report text. From it the user prints,
// exports CSV, uploads by SFTP and jumps to a time. It never writes the
// measurement file. List moves go through a message the viewer posts to
// itself, so that a step never repaints inside another handler.
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <vector>

#include "platform/window_messages.h"
#include "reports/viewer_value_list.h"
#include "store/measurement_records.h"

class QAction;
class QActionGroup;
class QMenu;
class QPlainTextEdit;
class QTimer;
class TDaten;
class TLeqGrafik;
class TPaintBox32;

// The list position message: wParam 1, lParam the wanted first row.
inline constexpr uint32_t WM_LIST_START = platform::WM_APP + 0xB5;

class TProtokoll : public QMainWindow {
public:
    // Views of SetMode and getMode.
    static constexpr int kCurves = 1;
    static constexpr int kSingleValues = 2;
    static constexpr int kReportText = 3;

    explicit TProtokoll(QWidget* owner, double dpi = 0);
    ~TProtokoll() override;

    void Set_msg(platform::WindowHandle mh, uint32_t mi, int32_t ci);
    // Loads a file completely; the previous measurement stays when it fails.
    bool LoadProt(const QString& fn);
    // Copies a running measurement; true when the copy holds values.
    bool LoadProt(const TDaten& daten);
    // 1 loaded, 2 cancelled, 0 missing or not loaded.
    int DoFileSelect();
    void SetMode(int anzeigeMode);
    int getMode() const { return lastMode; }
    TLeqGrafik& Graph() { return *lg; }
    TDaten& Store() { return *pdaten; }

    // --- actions ---
    void ShowCurves();
    void ShowSingleValues();
    void ShowReportText();
    void PrintReport();
    void PrintDirect();
    void ExportCsv();
    void UploadBySftp();
    void SearchTime();
    // Runs the open-time rules of every menu.
    void PrepareMenus();

    // --- list navigation (each posts the new first row) ---
    void ListToStart();
    void ListRowUp();
    void ListRowDown();
    void ListPageUp();
    void ListPageDown();
    void ListToEnd();
    void ListHourForward();
    void ListHourBack();
    void ListNextHourStart();
    void ListHourStart();
    void ListNextMark();
    void ListPrevMark();
    // --- curves navigation ---
    void GraphStepForward();
    void GraphStepBack();
    void GraphPageForward();
    void GraphPageBack();
    void GraphToEnd();
    void GraphToStart();
    void ShowAll();

    // The held-button repeat: start for a button tag (1, 2, 17, 18), one tick, stop.
    void StartKeyRepeat(int tag);
    void RepeatTick();
    void StopKeyRepeat();
    QTimer* RepeatTimer() const { return tTasten; }

    // --- state for the owner and tests ---
    int32_t ListStart() const { return listStartID; }
    int32_t ListSize() const { return listSize; }
    const std::vector<int32_t>& Marks() const { return markList; }
    const std::vector<TOverviewColumn>& Overview() const { return aInfo; }
    int OverviewWidth() const;
    QString BottomName() const { return fnt; }
    QString CurrentFile() const { return currentFileName; }
    QAction* Action(const char* name) const;
    QMenu* Menu(const char* name) const;
    QPlainTextEdit* Memo() const { return MemoProt; }
    TPaintBox32* List() const { return pbList; }
    TPaintBox32* GraphBox() const { return pbMain; }
    TPaintBox32* OverviewBox() const { return pbInfo; }
    bool ShowsAll() const { return bShowAll; }
    void SetCaptions();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildViews();
    void BuildNavigation();
    void ApplyScale(double dpi);
    void ArrangeViews();
    void ArrangeListNavi();
    void UpdateMenus(bool loaded);
    void PrepareMeasurement();
    void ShowView(int mode);
    void PostListStart(int64_t row);
    void ListStartMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void HourStep(int direction, bool toHourStart);
    void DrawCurves(TPaintBox32* box);
    void PaintList(TPaintBox32* box);
    void PaintOverview(TPaintBox32* box);
    void PaintArrowStrip(TPaintBox32* box);
    void PaintBottomInfo(TPaintBox32* box);
    void JumpToInfoX(int x);
    void ListMouseDown(int y);
    void ListMouseMove(Qt::MouseButtons buttons, int y);
    void EndListDrag();
    void SwitchLanguage(int32_t lang);
    void RedrawGraph();
    bool Running() const;
    TPaintBox32* NavButton(QWidget* parent, int glyph, const std::function<void()>& action, int repeatTag);

    std::unique_ptr<TDaten> pdaten;
    std::unique_ptr<TLeqGrafik> lg;
    std::vector<TSaveIT6> values_;  // the store's values, read once per load
    bool reportTextBuilt_ = false;
    int32_t reportTextLanguage_ = 0;
    int lastMode = 0;
    bool bShowAll = false;
    bool bkLeq = true, bkLeqK = true, bkPeak = true;
    bool bwleq = true, bwleqk = true, bwPeak = true;
    QString fnt;
    QString currentFileName;
    platform::WindowHandle mWin = 0;
    uint32_t mClose = 0;
    int32_t cClose = -1;
    platform::WindowHandle self_ = 0;
    double mySf = 1.0;

    int32_t listStartID = 0;
    int32_t listSize = 0;
    std::vector<int32_t> markList;
    std::vector<TOverviewColumn> aInfo;
    double Adx = 1.0;
    int32_t moveStep = 1;
    int32_t moveStartPos = -1;
    bool moveIt = false;
    int32_t speedCounter = 0;
    int32_t mySpace = 7;
    TWheelSteps listWheel_;
    TWheelSteps graphWheel_;

    QWidget* central_ = nullptr;
    QPlainTextEdit* MemoProt = nullptr;
    TPaintBox32* pbList = nullptr;
    QWidget* pListNavi = nullptr;
    std::array<TPaintBox32*, 6> textButtons_{};
    std::array<TPaintBox32*, 6> listArrows_{};
    TPaintBox32* pbInfo = nullptr;
    TPaintBox32* pbArrow = nullptr;
    TPaintBox32* pbMain = nullptr;
    QWidget* pUnten = nullptr;
    std::array<TPaintBox32*, 7> graphButtons_{};
    TPaintBox32* pbBottomInfo = nullptr;
    QTimer* tTasten = nullptr;
    std::vector<QMenu*> menus_;
    QActionGroup* viewGroup_ = nullptr;
};
