// The one place that knows every pane class.
#include <QWidget>

#include "app/PaneMng.h"
#include "comm/PaneState.h"
#include "config/PaneAlarm.h"
#include "config/PaneBasic.h"
#include "config/PaneBasic2.h"
#include "config/PaneCallEnDirs.h"
#include "config/PaneCallPars.h"
#include "config/PaneGprsAP.h"
#include "config/PaneRenum.h"
#include "config/PaneSIM.h"
#include "config/PaneSMS.h"
#include "config/PaneTimePars.h"
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
    case PANE_CALLPARS: return std::make_unique<CPaneCallPars>(app);
    case PANE_CALLENDIRS: return std::make_unique<CPaneCallEnDirs>(app);
    case PANE_SIM: return std::make_unique<CPaneSIM>(app);
    case PANE_ALARM: return std::make_unique<CPaneAlarm>(app);
    case PANE_SMSCFG: return std::make_unique<CPaneSMS>(app);
    case PANE_TIMEPARS: return std::make_unique<CPaneTimePars>(app);
    case PANE_BASIC1: return std::make_unique<CPaneBasic1>(app);
    case PANE_BASIC2: return std::make_unique<CPaneBasic2>(app);
    case PANE_RENUM: return std::make_unique<CPaneRenum>(app);
    case PANE_DEVID: return std::make_unique<CPaneDevId>(app);
    case PANE_GSM: return std::make_unique<CPaneGSM>(app);
    case PANE_IO: return std::make_unique<CPaneIO>(app);
    case PANE_TIME: return std::make_unique<CPaneTime>(app);
    case PANE_GPRSAP: return std::make_unique<CPaneGprsAP>(app);
    case PANE_SMSEDIT: return std::make_unique<CPaneSMSEdit>(app);
    case PANE_SMSLIST: return std::make_unique<CPaneSMSList>(app);
    default: return std::make_unique<CPaneBlank>(app, index);
    }
}
