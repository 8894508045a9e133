#include "import/ui/end_diastolic_box.h"

#include "app/paths.h"
#include "app/prompter.h"
#include "import/core/end_diastolic.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "import/ui/progress_window.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>

#include <iostream>

namespace studyimport {

namespace {

QPushButton* AddRow(QGridLayout* grid, int row, const QString& label, QWidget* editor,
                    const QString& buttonText, QWidget* parent)
{
    grid->addWidget(new QLabel(label, parent), row, 0);
    grid->addWidget(editor, row, 1);
    auto* button = new QPushButton(buttonText, parent);
    grid->addWidget(button, row, 2);
    return button;
}

} // namespace

TEndDiastolicBox::TEndDiastolicBox(TPlayerFrame* player, QWidget* parent)
    : QGroupBox(tr(" Automatic selection of end diastolic frames "), parent), player_(player),
      log_(&std::cout)
{
    setObjectName(QStringLiteral("cxGroupBox6"));
    auto* grid = new QGridLayout(this);

    cxSpinEdit1 = new QSpinBox(this);
    cxSpinEdit1->setObjectName(QStringLiteral("cxSpinEdit1"));
    cxSpinEdit1->setRange(EcgParameters::kMinStartRow, EcgParameters::kMaxStartRow);
    cxSpinEdit1->setValue(EcgParameters::kDefaultStartRow);
    cxButton11 = AddRow(grid, 0, tr(" Cardiogram start position (Y axis)"), cxSpinEdit1,
                        tr("select on frame"), this);
    cxButton11->setObjectName(QStringLiteral("cxButton11"));

    cxSpinEdit2 = new QDoubleSpinBox(this);
    cxSpinEdit2->setObjectName(QStringLiteral("cxSpinEdit2"));
    cxSpinEdit2->setRange(0.0, 1000.0);
    cxSpinEdit2->setSingleStep(0.5);
    cxSpinEdit2->setDecimals(2);
    cxSpinEdit2->setValue(EcgParameters::kDefaultSpecificity);
    cxButton7 = AddRow(grid, 1, tr(" ECG specificity"), cxSpinEdit2, tr("restore default value"), this);
    cxButton7->setObjectName(QStringLiteral("cxButton7"));

    cxSpinEdit3 = new QSpinBox(this);
    cxSpinEdit3->setObjectName(QStringLiteral("cxSpinEdit3"));
    cxSpinEdit3->setRange(0, 255);
    cxSpinEdit3->setValue(EcgParameters::kDefaultLuminance);
    cxButton8 = AddRow(grid, 2, tr(" ECG luminance"), cxSpinEdit3, tr("restore default value"), this);
    cxButton8->setObjectName(QStringLiteral("cxButton8"));

    cxSpinEdit4 = new QDoubleSpinBox(this);
    cxSpinEdit4->setObjectName(QStringLiteral("cxSpinEdit4"));
    cxSpinEdit4->setRange(0.0, 10.0);
    cxSpinEdit4->setSingleStep(0.1);
    cxSpinEdit4->setDecimals(2);
    cxSpinEdit4->setValue(EcgParameters::kDefaultSensitivity);
    cxButton9 = AddRow(grid, 3, tr(" Sensitivity"), cxSpinEdit4, tr("restore default value"), this);
    cxButton9->setObjectName(QStringLiteral("cxButton9"));

    cxSpinEdit5 = new QSpinBox(this);
    cxSpinEdit5->setObjectName(QStringLiteral("cxSpinEdit5"));
    cxSpinEdit5->setRange(EcgParameters::kMinWindow, EcgParameters::kMaxWindow);
    cxSpinEdit5->setValue(EcgParameters::kDefaultWindow);
    cxButton10 = AddRow(grid, 4, tr(" Window"), cxSpinEdit5, tr("restore default value"), this);
    cxButton10->setObjectName(QStringLiteral("cxButton10"));

    cxButton6 = new QPushButton(tr("Start"), this);
    cxButton6->setObjectName(QStringLiteral("cxButton6"));
    grid->addWidget(cxButton6, 5, 2);

    connect(cxButton6, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton6Click);
    connect(cxButton7, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton7Click);
    connect(cxButton8, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton8Click);
    connect(cxButton9, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton9Click);
    connect(cxButton10, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton10Click);
    connect(cxButton11, &QPushButton::clicked, this, &TEndDiastolicBox::cxButton11Click);
    connect(player_->ImgView, &PlayerImageView::FrameMouseMove, this,
            [this](QPoint p, Qt::MouseButtons) { PlayerFrame3ImgViewMouseMove(p); });
    connect(player_->ImgView, &PlayerImageView::FrameMouseDown, this,
            [this](QPoint p, Qt::MouseButton) { PlayerFrame3ImgViewMouseDown(p); });
}

TEndDiastolicBox::~TEndDiastolicBox() = default;

int TEndDiastolicBox::IvusFrameCount() const
{
    return ivusFrameCount_ >= 0 ? ivusFrameCount_ : player_->FrameCount();
}

QString TEndDiastolicBox::FramePrefix() const
{
    return prefix_.isEmpty() ? AppPaths::CacheDir() + QStringLiteral("/tmp/IVUS/IVUS") : prefix_;
}

void TEndDiastolicBox::cxButton6Click()
{
    if (player_->Selection().AnySelected() &&
        !Prompt().AskYesNo(tr("Your previously selected frames will be lost.\n"
                              "Do you want to continue with automatic selection?")))
        return;

    WaitCursor hourglass;
    const std::string prefix = FramePrefix().toStdString();
    repaint();

    PickedFrameList picked;
    try {
        ProgressWindowReporter progress(window());
        picked = SelectEndDiastolicFrames(
            0, IvusFrameCount() - 1, cxSpinEdit1->value(), cxSpinEdit2->value(),
            cxSpinEdit3->value(), cxSpinEdit4->value(), cxSpinEdit5->value(), prefix,
            {&progress, log_});
    } catch (const std::exception& e) {
        std::cerr << "End-diastolic selection failed: " << e.what() << "\n";
        hourglass.Restore();
        Prompt().Plain(tr("Cannot detect end-diastolic automatically!"));
        player_->ApplyPickedFrames(std::nullopt);
        return;
    }
    player_->ApplyPickedFrames(picked);
    hourglass.Restore();
    // A run that picked nothing (no trace at that row, too short a recording) is no success.
    if (!player_->Selection().AnySelected()) {
        Prompt().Warning(tr("No end-diastolic frame was found automatically.\n"
                            "Check the cardiogram start position, or select the frames by hand (F4)."));
        return;
    }
    Prompt().Info(tr("Automatic selection completed successfully"));
}

void TEndDiastolicBox::cxButton7Click()
{
    cxSpinEdit2->setValue(EcgParameters::kDefaultSpecificity);
}

void TEndDiastolicBox::cxButton8Click()
{
    cxSpinEdit3->setValue(EcgParameters::kDefaultLuminance);
}

void TEndDiastolicBox::cxButton9Click()
{
    cxSpinEdit4->setValue(EcgParameters::kDefaultSensitivity);
}

void TEndDiastolicBox::cxButton10Click()
{
    cxSpinEdit5->setValue(EcgParameters::kDefaultWindow);
}

void TEndDiastolicBox::cxButton11Click()
{
    PickEcgRowMode = true;
}

bool TEndDiastolicBox::InsideFrame(QPoint p) const
{
    const QImage& frame = player_->ImgView->Image();
    if (frame.isNull())
        return false;
    return p.x() >= 0 && p.x() <= frame.width() && p.y() >= 1 && p.y() <= frame.height();
}

void TEndDiastolicBox::PlayerFrame3ImgViewMouseMove(QPoint p)
{
    PlayerLayer* layer = player_->DrawingLayer();
    if (!PickEcgRowMode || !layer || !InsideFrame(p))
        return;
    QImage& bmp = layer->bitmap;
    bmp.fill(Qt::transparent);
    QPainter painter(&bmp);
    painter.fillRect(QRect(0, p.y() - 1, bmp.width(), 1), QColor::fromRgba(0xFF00FF00));
    painter.fillRect(QRect(0, p.y(), bmp.width(), bmp.height() - p.y()),
                     QColor::fromRgba(0x5038568A));
    painter.end();
    player_->ImgView->LayerChanged();
}

void TEndDiastolicBox::PlayerFrame3ImgViewMouseDown(QPoint p)
{
    if (!PickEcgRowMode || !InsideFrame(p))
        return;
    cxSpinEdit1->setValue(p.y());
    PickEcgRowMode = false;
}

} // namespace studyimport
