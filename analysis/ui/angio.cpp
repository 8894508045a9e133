#include "analysis/ui/angio.h"

#include "analysis/core/angio_view_model.h"
#include "app/data.h"
#include "app/paths.h"

#include <QGroupBox>
#include <QResizeEvent>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <stdexcept>

namespace an = kestrova::analysis;

namespace {

AngioViewSnapshot Snapshot(const TAngioFrame& view)
{
    AngioViewSnapshot s;
    s.CatheterPoints = view.CatheterPoints();
    s.LumenAPoints = view.LumenAPoints();
    s.LumenBPoints = view.LumenBPoints();
    s.WidthPoints = view.WidthPoints();
    s.FrameNumber = view.GetFrameNumber();
    return s;
}

QGroupBox* Panel(const char* name, const QString& caption, TAngioFrame* view)
{
    auto* panel = new QGroupBox(caption);
    panel->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(view);
    return panel;
}

} // namespace

TANGIOForm::TANGIOForm(const WindowContext& context)
    : TChildForm(QStringLiteral("ANGIOForm"), QStringLiteral("ANGIO"), QSize(1292, 768)), context_(context)
{
    AngioFrame1 = new TAngioFrame(1);
    AngioFrame2 = new TAngioFrame(2);
    Panel1 = Panel("Panel1", QStringLiteral("Left anterior oblique"), AngioFrame1);
    Panel2 = Panel("Panel2", QStringLiteral("Right anterior oblique"), AngioFrame2);
    cxSplitter1 = new QSplitter(Qt::Horizontal);
    cxSplitter1->setObjectName(QStringLiteral("cxSplitter1"));
    cxSplitter1->setHandleWidth(an::kSplitterWidth);
    cxSplitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background-color: #808080; }"));
    cxSplitter1->setChildrenCollapsible(false);
    cxSplitter1->addWidget(Panel1);
    cxSplitter1->addWidget(Panel2);
    cxSplitter1->setStretchFactor(0, 1);
    cxSplitter1->setStretchFactor(1, 0);
    setWidget(cxSplitter1);

    for (TAngioFrame* view : {AngioFrame1, AngioFrame2})
        connect(view, &TAngioFrame::wheelTurned, this, [this](int delta) { FormMouseWheel(delta); });

    const OpenCard* card = context_.Card;
    const int code = card ? card->GetSelectedPatient() : -1;
    if (card) {
        SetUpView(AngioFrame1, QStringLiteral("LAO"), card->LAOFrameCount);
        SetUpView(AngioFrame2, QStringLiteral("RAO"), card->RAOFrameCount);
    }
    LoadAngioViews(code);
}

TANGIOForm::~TANGIOForm() = default;

void TANGIOForm::SetUpView(TAngioFrame* view, const QString& recording, int count)
{
    if (count <= 0)
        return;  // placeholder, frame range as laid out, nothing loaded
    view->SetImageSource(AppPaths::RecordingDir(context_.Card->GetSelectedPatient(), recording),
                         AppPaths::FramePrefix(recording), count);
    QString error;
    if (!view->LoadFrameFile(0, &error))
        throw std::runtime_error(error.toStdString());
    view->SetFrameRange(count);
}

void TANGIOForm::LoadAngioViews(int code)
{
    Tdm* dm = context_.Data;
    if (!dm)
        return;  // the program runs on without a database: nothing stored to show
    WallContour lc, la, lb, lw, rc, ra, rb, rw;
    const int laoFrame = dm->LoadAngioView(AngioView::LAO, code, lc, la, lb, lw);
    const int raoFrame = dm->LoadAngioView(AngioView::RAO, code, rc, ra, rb, rw);
    AngioFrame1->SetFrameNumber(laoFrame);
    AngioFrame2->SetFrameNumber(raoFrame);
    AngioFrame1->SetStoredPoints(lc, la, lb, lw);
    AngioFrame2->SetStoredPoints(rc, ra, rb, rw);
}

AngioSnapshot TANGIOForm::TakeAngioSnapshot() const
{
    AngioSnapshot s;
    s.LAO = Snapshot(*AngioFrame1);
    s.RAO = Snapshot(*AngioFrame2);
    return s;
}

void TANGIOForm::FormResize()
{
    if (!cxSplitter1)
        return;
    const int available = cxSplitter1->width() - cxSplitter1->handleWidth();
    const int rao = std::clamp(an::RaoPanelWidth(width()), 0, std::max(0, available));
    cxSplitter1->setSizes({available - rao, rao});
}

void TANGIOForm::resizeEvent(QResizeEvent* e)
{
    TChildForm::resizeEvent(e);
    FormResize();
}

void TANGIOForm::FormMouseWheel(int delta)
{
    bool lao = AngioFrame1->WheelTarget();
    bool rao = AngioFrame2->WheelTarget();
    const an::WheelView target = an::RouteWheel(lao, rao);
    AngioFrame1->SetWheelTarget(lao);
    AngioFrame2->SetWheelTarget(rao);
    const int step = delta > 0 ? an::kZoomWheelStep : -an::kZoomWheelStep;
    if (target == an::WheelView::Lao)
        AngioFrame1->StepZoom(step);
    else if (target == an::WheelView::Rao)
        AngioFrame2->StepZoom(step);
}

void TANGIOForm::wheelEvent(QWheelEvent* e)
{
    if (e->angleDelta().y() != 0)
        FormMouseWheel(e->angleDelta().y());
    e->accept();
}

void TANGIOForm::FormClose()
{
    for (TAngioFrame* view : findChildren<TAngioFrame*>())
        view->FreeFrameLayers();
}

QWidget* CreateAngioForm(const WindowContext& context) { return new TANGIOForm(context); }
