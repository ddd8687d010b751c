// The one place that knows every pane class.
#include <QWidget>

#include "app/PaneMng.h"
#include "comm/PaneState.h"
#include "sms/PaneSMS.h"

namespace {

// A page that shows nothing yet.
class CPaneBlank : public CPane {
public:
    CPaneBlank(CAppUI& app, int index) : CPane(app, index, PaneFailCode(index)) {}

protected:
    QWidget* MakeFrame(QWidget* area) override { return new QWidget(area); }
};

}  // namespace

std::unique_ptr<CPane> CreatePane(CAppUI& app, int index) {
    switch (index) {
    case PANE_DEVID: return std::make_unique<CPaneDevId>(app);
    case PANE_GSM: return std::make_unique<CPaneGSM>(app);
    case PANE_IO: return std::make_unique<CPaneIO>(app);
    case PANE_TIME: return std::make_unique<CPaneTime>(app);
    case PANE_SMSEDIT: return std::make_unique<CPaneSMSEdit>(app);
    case PANE_SMSLIST: return std::make_unique<CPaneSMSList>(app);
    default: return std::make_unique<CPaneBlank>(app, index);
    }
}
