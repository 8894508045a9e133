#include "analysis/ui/calibration_form.h"

#include "analysis/ui/frame_image.h"
#include "analysis/ui/ivus_form.h"
#include "app/paths.h"
#include "app/prompter.h"

#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>
#include <stdexcept>

QPointer<TCalibrationForm> CalibrationForm;

namespace {

const QColor kRed(0xFF, 0x00, 0x00);
const QColor kGreen(0x00, 0xFF, 0x00);

bool AllPositive(PixelPoint a, PixelPoint b)
{
    return a.x > 0 && a.y > 0 && b.x > 0 && b.y > 0;
}

void DrawCross(QPainter& p, PixelPoint c, const QColor& colour)
{
    p.setPen(QPen(colour, 1));
    p.drawLine(c.x - 5, c.y, c.x + 5, c.y);
    p.drawLine(c.x, c.y - 5, c.x, c.y + 5);
}

// The pictures of the right-hand panel: where to click in each step.
QPixmap StepPicture(bool distanceStep)
{
    QPixmap pixmap(230, 150);
    pixmap.fill(QColor(0xFF, 0xFF, 0xE1));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 40, 40));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRect(10, 5, 210, 140), 6, 6);
    if (!distanceStep) {
        p.setBrush(QColor(90, 90, 90));
        p.drawEllipse(QPoint(115, 75), 58, 52);
        p.setBrush(QColor(20, 20, 20));
        p.drawEllipse(QPoint(115, 75), 34, 30);
        p.setBrush(QColor(200, 200, 200));
        p.drawEllipse(QPoint(115, 75), 12, 12);
        p.setBrush(Qt::NoBrush);
        p.setRenderHint(QPainter::Antialiasing, false);
        DrawCross(p, {115, 75}, kRed);
        DrawCross(p, {127, 75}, kGreen);
    } else {
        p.setPen(QPen(QColor(220, 220, 220), 1, Qt::DashLine));
        p.drawLine(50, 110, 180, 40);
        p.setPen(QColor(220, 220, 220));
        p.drawText(QRect(100, 80, 100, 20), Qt::AlignLeft, QStringLiteral("d (mm)"));
        p.setRenderHint(QPainter::Antialiasing, false);
        DrawCross(p, {50, 110}, kRed);
        DrawCross(p, {180, 40}, kGreen);
    }
    return pixmap;
}

} // namespace

// ---------------------------------------------------------------------------------------
CalibrationImageView::CalibrationImageView(TCalibrationForm* form, QWidget* parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("ImgCanvas"));
    setCursor(Qt::CrossCursor);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

QSize CalibrationImageView::sizeHint() const { return form_->Image.size(); }

void CalibrationImageView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawImage(QPoint(0, 0), form_->Image);
    // The crosses stay on the image, also for points near its border.
    p.setClipRect(QRect(QPoint(0, 0), form_->Image.size()));
    if (form_->FirstPoint.x != 0 || form_->FirstPoint.y != 0)
        DrawCross(p, form_->FirstPoint, kRed);
    if (form_->SecondPoint.x != 0 || form_->SecondPoint.y != 0)
        DrawCross(p, form_->SecondPoint, kGreen);
}

void CalibrationImageView::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    form_->ImgViewMouseDown(e->button(), at.x(), at.y());
}

// ---------------------------------------------------------------------------------------
TCalibrationForm::TCalibrationForm(TIVUSForm* ivus, bool distanceStep, QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowSystemMenuHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      DistanceStep(distanceStep), ivus_(ivus)
{
    setObjectName(QStringLiteral("CalibrationForm"));
    setWindowTitle(QStringLiteral("Calibration"));
    setModal(true);
    setFixedSize(766, 512);
    if (!ivus_ || !ivus_->Context().Card)
        throw std::runtime_error("The calibration needs the IVUS window of an open card");
    const OpenCard& card = *ivus_->Context().Card;

    // Always the first frame file of the recording, whatever frame the IVUS window shows.
    std::string error;
    const QString file = AppPaths::FrameFile(card.GetSelectedPatient(), QStringLiteral("IVUS"), 0);
    Image = kestrova::analysis::MatToImage(kestrova::analysis::DecodeJpegFile(file, &error));
    if (Image.isNull())
        throw std::runtime_error(error.empty() ? "cannot read " + file.toStdString() : error);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    ImgView = new QScrollArea(this);
    ImgView->setObjectName(QStringLiteral("ImgView"));
    ImgView->setFixedSize(512, 512);
    ImgView->setFrameShape(QFrame::NoFrame);
    ImgView->setWidgetResizable(true);
    ImgView->setStyleSheet(QStringLiteral("QScrollArea { background: black; }"));
    ImgCanvas = new CalibrationImageView(this);
    ImgCanvas->setMinimumSize(Image.size());
    ImgView->setWidget(ImgCanvas);
    row->addWidget(ImgView);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedWidth(254);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1));
    panel->setPalette(pal);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(4);
    cxLabel4 = new QLabel(panel);
    cxLabel4->setObjectName(QStringLiteral("cxLabel4"));
    cxLabel4->setAlignment(Qt::AlignCenter);
    QFont bold = cxLabel4->font();
    bold.setBold(true);
    cxLabel4->setFont(bold);
    column->addWidget(cxLabel4);
    cxMemo1 = new QPlainTextEdit(panel);
    cxMemo1->setObjectName(QStringLiteral("cxMemo1"));
    cxMemo1->setReadOnly(true);
    cxMemo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    cxMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont small = cxMemo1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    cxMemo1->setFont(small);
    cxMemo1->setPlainText(QStringList{QStringLiteral("   In order to define the requested points:"), QString(),
                                      QStringLiteral("   1. Click on the appropiate positions inside  "),
                                      QStringLiteral("       the IVUS image."),
                                      QStringLiteral("   2. Each click fills the appropriate text boxes"),
                                      QStringLiteral("       (In case of mistake click again to start over) "),
                                      QStringLiteral("   3. Press the \"OK\" button to confirm.")}
                              .join(QLatin1Char('\n')));
    cxMemo1->setFixedHeight(150);
    column->addWidget(cxMemo1);
    Image1 = new QLabel(panel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(StepPicture(false));
    Image2 = new QLabel(panel);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(StepPicture(true));
    column->addWidget(Image1);
    column->addWidget(Image2);
    cxLabel5 = new QLabel(QStringLiteral("Center (X,Y)"), panel);
    cxLabel5->setObjectName(QStringLiteral("cxLabel5"));
    cxLabel5->setStyleSheet(QStringLiteral("color: red;"));
    cxTextEdit1 = new QLineEdit(panel);
    cxTextEdit1->setObjectName(QStringLiteral("cxTextEdit1"));
    cxTextEdit1->setReadOnly(true);
    cxLabel2 = new QLabel(QStringLiteral("Catheter edge (X,Y)"), panel);
    cxLabel2->setObjectName(QStringLiteral("cxLabel2"));
    cxLabel2->setStyleSheet(QStringLiteral("color: green;"));
    cxTextEdit2 = new QLineEdit(panel);
    cxTextEdit2->setObjectName(QStringLiteral("cxTextEdit2"));
    cxTextEdit2->setReadOnly(true);
    cxLabel3 = new QLabel(QStringLiteral("Distance (mm)"), panel);
    cxLabel3->setObjectName(QStringLiteral("cxLabel3"));
    cxSpinEdit1 = new QDoubleSpinBox(panel);
    cxSpinEdit1->setObjectName(QStringLiteral("cxSpinEdit1"));
    cxSpinEdit1->setDecimals(3);
    cxSpinEdit1->setRange(-1.0e9, 1.0e9);
    cxSpinEdit1->setSingleStep(0.1);
    for (QWidget* w : {static_cast<QWidget*>(cxLabel5), static_cast<QWidget*>(cxTextEdit1),
                       static_cast<QWidget*>(cxLabel2), static_cast<QWidget*>(cxTextEdit2),
                       static_cast<QWidget*>(cxLabel3), static_cast<QWidget*>(cxSpinEdit1)})
        column->addWidget(w);
    column->addStretch(1);
    auto* buttons = new QHBoxLayout;
    cxButton1 = new QPushButton(QStringLiteral("OK (1/2)"), panel);
    cxButton1->setObjectName(QStringLiteral("cxButton1"));
    cxButton1->setAutoDefault(false);
    cxButton2 = new QPushButton(QStringLiteral("Cancel"), panel);
    cxButton2->setObjectName(QStringLiteral("cxButton2"));
    cxButton2->setAutoDefault(false);
    buttons->addWidget(cxButton1);
    buttons->addWidget(cxButton2);
    column->addLayout(buttons);
    row->addWidget(panel);

    if (DistanceStep) {
        cxLabel4->setText(QStringLiteral("STEP 2/2 : Distance Calibration"));
        cxLabel5->setText(QStringLiteral("Point A (X,Y)"));
        cxLabel2->setText(QStringLiteral("Point B (X,Y)"));
        cxButton1->setText(QStringLiteral("OK (2/2)"));
        cxButton2->hide();
        Image1->hide();
    } else {
        cxLabel4->setText(QStringLiteral("STEP 1/2 : Catheter Calibration"));
        cxLabel3->hide();
        cxSpinEdit1->hide();
        Image2->hide();
    }
    connect(cxButton1, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton1Click(); }); });
    connect(cxButton2, &QPushButton::clicked, this, [this] { cxButton2Click(); });

    // Starting points: the stored ones, when every coordinate is set.
    PixelPoint first;
    PixelPoint second;
    if (!DistanceStep) {
        if (ivus_) {
            first = ivus_->CatheterCentre;
            second = ivus_->CatheterEdge;
        }
    } else {
        first = card.CalibrationPointA;
        second = card.CalibrationPointB;
        cxSpinEdit1->setValue(card.CalibrationDistance);
    }
    if (AllPositive(first, second)) {
        FirstPoint = first;
        SecondPoint = second;
        cxTextEdit1->setText(PointText(first));
        cxTextEdit2->setText(PointText(second));
    } else {
        FirstPoint = {};
        SecondPoint = {};
    }
    SettingFirstPoint = false;

    // Key preview: Escape and the space bar close the dialog wherever the focus is.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    installEventFilter(this);
}

TCalibrationForm::~TCalibrationForm()
{
    if (CalibrationForm == this)
        CalibrationForm = nullptr;
}

QString TCalibrationForm::PointText(PixelPoint p) { return QString::number(p.x) + QLatin1Char(',') + QString::number(p.y); }

void TCalibrationForm::ImgViewMouseDown(Qt::MouseButton, int X, int Y)
{
    SettingFirstPoint = !SettingFirstPoint;
    const int x = X;
    const int y = Y;
    if (!(x >= 0 && x <= Image.width() && y >= 1 && y <= Image.height()))
        return;
    // A press on the right or bottom edge names the last pixel, not one past the image.
    const PixelPoint p{std::min(x, Image.width() - 1), std::min(y, Image.height() - 1)};
    if (SettingFirstPoint) {
        FirstPoint = p;
        cxTextEdit1->setText(PointText(p));
    } else {
        SecondPoint = p;
        cxTextEdit2->setText(PointText(p));
    }
    ImgCanvas->update();
}

void TCalibrationForm::cxButton1Click()
{
    const QString incomplete = QStringLiteral("Please define all values");
    if (!DistanceStep) {
        if (!AllPositive(FirstPoint, SecondPoint)) {
            Prompt().Warning(incomplete);
            return;
        }
        if (ivus_) {
            ivus_->CatheterCentre = FirstPoint;
            ivus_->CatheterEdge = SecondPoint;
        }
        accept();
        return;
    }
    if (!AllPositive(FirstPoint, SecondPoint) || !(cxSpinEdit1->value() > 0.0)) {
        Prompt().Warning(incomplete);
        return;
    }
    if (FirstPoint == SecondPoint) {
        // Their pixel distance would be 0: no pixel spacing can follow from it.
        Prompt().Warning(QStringLiteral("Points A and B must be different"));
        return;
    }
    if (WindowSignals* report = ivus_->Context().Signals)
        emit report->calibrationChanged(FirstPoint, SecondPoint, cxSpinEdit1->value());
    accept();
}

void TCalibrationForm::cxButton2Click() { reject(); }

void TCalibrationForm::FormKeyPress(int key)
{
    if (key == Qt::Key_Escape || key == Qt::Key_Space)
        reject();
}

bool TCalibrationForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Space) {
            FormKeyPress(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TCalibrationForm::done(int result)
{
    if (CalibrationForm == this)
        CalibrationForm = nullptr;
    QDialog::done(result);
}
