// vw-bench: the window's contact lists, drawn offscreen
// (QT_QPA_PLATFORM=offscreen, set by the driver).
#include "tools/bench/Bench.h"

#ifdef VW_BENCH_GUI

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QTreeView>

#include "common/palm/TdmMain.h"
#include "src/ContactListModel.h"
#include "src/FormStyle.h"
#include "src/TfmMain.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

namespace bench {

namespace {

class QuietSink : public IEngineSink {
public:
    void ShowMessage(const char*, const char*, int) override { }
};

// A list view set up as the main window sets up lvPD and lvOE.
std::unique_ptr<QTreeView> MakeListView(ContactListModel* pModel)
{
    auto pView = std::make_unique<QTreeView>();
    pView->setModel(pModel);
    pView->setRootIsDecorated(false);
    pView->setItemsExpandable(false);
    pView->setUniformRowHeights(true);
    pView->setSortingEnabled(false);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setSelectionMode(QAbstractItemView::SingleSelection);
    pView->setAllColumnsShowFocus(true);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->header()->setStretchLastSection(false);
    pView->header()->setSectionsMovable(false);
    pView->resize(640, 720);
    return pView;
}

}  // namespace

int RunGuiCase(Generation gen, int nContacts, const std::string& workFolder)
{
    (void)gen;
    (void)nContacts;
    (void)workFolder;
    static int argc = 1;
    static char szName[] = "vw-bench";
    static char* argv[] = {szName, nullptr};
    QApplication application(argc, argv);
    ApplyApplicationFont();
    TdmMain::Instance();

    {
        // The lists alone: the engine has its rows; the time is that of the
        // two models and views taking them and drawing what is visible.
        SysSettings settings{};
        QuietSink sink;
        TransferEngine engine(settings, &sink);
        engine.Startup(true);
        const int nRows = engine.GetRowCount(LIST_PALM) + engine.GetRowCount(LIST_WAB);

        Timer timer;
        ContactListModel palmModel(engine, LIST_PALM);
        ContactListModel bookModel(engine, LIST_WAB);
        std::unique_ptr<QTreeView> pPalmView = MakeListView(&palmModel);
        std::unique_ptr<QTreeView> pBookView = MakeListView(&bookModel);
        palmModel.Rebuild();
        bookModel.Rebuild();
        pPalmView->show();
        pBookView->show();
        QApplication::processEvents();
        const QPixmap palmPicture = pPalmView->grab();
        const QPixmap bookPicture = pBookView->grab();
        ReportTime("list_fill", timer);

        // The states refreshed: every row shown again with its colour and tick.
        timer.Restart();
        engine.RefreshStates();
        palmModel.StatesChanged();
        bookModel.StatesChanged();
        QApplication::processEvents();
        const QPixmap palmAgain = pPalmView->grab();
        const QPixmap bookAgain = pBookView->grab();
        ReportTime("list_states", timer);
        Report("list_rows", nRows);
        if (palmPicture.isNull() || bookPicture.isNull() || palmAgain.isNull() || bookAgain.isNull())
            std::fprintf(stderr, "vw-bench: a list was not drawn\n");
        engine.Shutdown(false);
    }

    {
        // The whole main window started on the same files: settings, both
        // sides loaded, classified, listed and drawn.
        Timer timer;
        auto pWindow = std::make_unique<TfmMain>();
        pWindow->resize(1280, 800);
        pWindow->show();
        QApplication::processEvents();
        const QPixmap picture = pWindow->grab();
        ReportTime("window_start", timer);
        Report("window_rows", pWindow->Engine().GetRowCount(LIST_PALM) + pWindow->Engine().GetRowCount(LIST_WAB));
        if (picture.isNull())
            std::fprintf(stderr, "vw-bench: the window was not drawn\n");
    }
    ReportPeakMemory();
    return 0;
}

}  // namespace bench

#else

namespace bench {

int RunGuiCase(Generation, int, const std::string&)
{
    return 3;
}

}  // namespace bench

#endif
