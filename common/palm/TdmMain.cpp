#include "common/palm/TdmMain.h"

#include <memory>

TdmMain* dmMain = nullptr;

namespace {
// Owns the one instance, so that it is destroyed (and its files closed) when
// the program ends.
std::unique_ptr<TdmMain> g_pDataModule;
}  // namespace

TdmMain::TdmMain() : qryAddr(&connAddr), qryDate(&connDate), qryTodo(&connTodo), qryMemo(&connMemo) { }

TdmMain::~TdmMain()
{
    if (dmMain == this)
        dmMain = nullptr;
}

TdmMain* TdmMain::Instance()
{
    if (dmMain == nullptr) {
        g_pDataModule = std::make_unique<TdmMain>();
        dmMain = g_pDataModule.get();
    }
    return dmMain;
}
