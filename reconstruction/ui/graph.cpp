#include "reconstruction/ui/graph.h"

#include "app/data.h"
#include "app/paths.h"
#include "app/pictures.h"
#include "app/progress.h"
#include "app/prompter.h"
#include "reconstruction/core/graph_files.h"

#include <QAction>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QValueAxis>
#include <QVBoxLayout>

#include <array>
#include <filesystem>
#include <stdexcept>

namespace {

constexpr int kSplitterWidth = 8;
const char* const kXlsxFilter = "XLSX files (*.xlsx)";

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& proposed, const QString& filter)
{
    QFileDialog dialog(parent, caption, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.selectNameFilter(QString::fromLatin1(kXlsxFilter));
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString ChooseFolder(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption, QString(), QFileDialog::ShowDirsOnly);
}

QColor ColourOf(graphs::SeriesColour colour)
{
    switch (colour) {
    case graphs::SeriesColour::Red: return QColor(255, 0, 0);
    case graphs::SeriesColour::Green: return QColor(0, 128, 0);
    case graphs::SeriesColour::Blue: return QColor(0, 0, 255);
    }
    return Qt::black;
}

QFont SmallFont(int points, bool bold = false)
{
    QFont f;
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

QValueAxis* NewAxis(const QString& title)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setTitleFont(SmallFont(8));
    axis->setLabelsFont(SmallFont(8));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setMinorTickCount(0);
    axis->setGridLineColor(QColor(225, 225, 225));
    return axis;
}

void ApplyRange(QValueAxis* axis, const graphs::AxisRange& range)
{
    axis->setRange(range.min, range.max);
    axis->setTickAnchor(range.min);
    axis->setTickInterval(range.step);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(range.decimals) + QLatin1Char('f'));
}

// A chart of the window: white, titled, with its value axes and its three line series
// (legend order), no point symbols and no marks.
QChartView* NewChartView(const graphs::ChartLayout& layout)
{
    auto* chart = new QChart;
    chart->setTitle(QString::fromLatin1(layout.title));
    chart->setTitleFont(SmallFont(9, true));
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(2, 0, 2, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(SmallFont(8));

    QValueAxis* frames = NewAxis(QStringLiteral("frames"));
    QValueAxis* values = NewAxis(QString::fromLatin1(layout.valueTitle));
    chart->addAxis(frames, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    for (const graphs::PlottedSeries& plotted : layout.plotted) {
        auto* series = new QLineSeries;
        series->setName(QString::fromLatin1(plotted.legend));
        QPen pen(ColourOf(plotted.colour));
        pen.setWidth(2);
        series->setPen(pen);
        series->setPointsVisible(false);
        series->setPointLabelsVisible(false);
        chart->addSeries(series);
        series->attachAxis(frames);
        series->attachAxis(values);
    }

    auto* view = new QChartView(chart);
    view->setObjectName(QString::fromLatin1(layout.name));
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumSize(200, 120);
    return view;
}

QSplitter* NewSplitter(Qt::Orientation orientation, const QString& name)
{
    auto* splitter = new QSplitter(orientation);
    splitter->setObjectName(name);
    splitter->setHandleWidth(kSplitterWidth);
    splitter->setChildrenCollapsible(false);
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: #a0a0a0; }"));
    return splitter;
}

}  // namespace

GraphCard ReadGraphCard(Tdm& data, int code)
{
    StoredCard card = data.ReadStoredCard(code);
    GraphCard read;
    read.pixelSpacing = card.pixelSpacing;
    read.walls.hasIvusRow = card.hasIvusRow;
    for (StoredWallRow& row : card.outer)
        read.walls.outer.push_back({row.frame, std::move(row.points)});
    for (StoredWallRow& row : card.inner)
        read.walls.inner.push_back({row.frame, std::move(row.points)});
    read.warnings = std::move(card.warnings);
    return read;
}

QWidget* CreateGraphForm(const WindowContext& context)
{
    return new TGraphForm(context);
}

TGraphForm::SaveFileChooser& TGraphForm::SaveDialog()
{
    static SaveFileChooser chooser = ChooseSaveFile;
    return chooser;
}

TGraphForm::FolderChooser& TGraphForm::FolderBrowser()
{
    static FolderChooser chooser = ChooseFolder;
    return chooser;
}

TGraphForm::TGraphForm(const WindowContext& context, QWidget* parent)
    : TChildForm(QStringLiteral("GraphForm"), QStringLiteral("IVUS Graphs"), QSize(986, 557), parent), context_(context)
{
    if (!context_.Card)
        throw std::runtime_error("The graph window needs the main window");
    code_ = context_.Card->GetSelectedPatient();
    if (code_ < 0)
        throw std::runtime_error("No patient card is open");
    if (!context_.Data)
        throw std::runtime_error("Not connected to the database");

    BuildComponents();
    // The pixel spacing and the walls of one moment of the card (one read).
    GraphCard card = ReadGraphCard(*context_.Data, code_);
    PrepareGraphData(card.pixelSpacing);
    LoadGraphContours(card);
    {
        ProgressScope progress(QStringLiteral("Graphs creation in progress"), FrameCount, context_.Owner);
        graphs::GraphData data = graphs::MeasureFrames(Walls, GraphPixelSpacing, [&progress] { progress.Step(); });
        MeasurementSeries = std::move(data.series);
        Problems.insert(Problems.end(), data.problems.begin(), data.problems.end());
    }
    FillChartsAndSheet();
    // Told once the window is on screen (and the opening hourglass is gone).
    if (!Problems.empty())
        QTimer::singleShot(0, this, [this] { ReportProblems(); });
}

TGraphForm::~TGraphForm() = default;

void TGraphForm::BuildComponents()
{
    setMinimumSize(480, 360);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("GraphClient"));
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    dxBarManager1Bar1 = new QToolBar(QStringLiteral("Graphs toolbar"), client);
    dxBarManager1Bar1->setObjectName(QStringLiteral("dxBarManager1Bar1"));
    dxBarManager1Bar1->setMovable(false);
    dxBarManager1Bar1->setFloatable(false);
    dxBarManager1Bar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    dxBarManager1Bar1->setIconSize(QSize(24, 24));
    dxBarManager1Bar1->setFixedHeight(52);
    dxBarManager1Bar1->setContextMenuPolicy(Qt::PreventContextMenu);
    dxBarLargeButton1 = dxBarManager1Bar1->addAction(Pictures::Glyph(QStringLiteral("graphs")), QStringLiteral("Save as image"));
    dxBarLargeButton1->setObjectName(QStringLiteral("dxBarLargeButton1"));
    dxBarLargeButton1->setToolTip(QStringLiteral("Save as image"));
    dxBarLargeButton2 = dxBarManager1Bar1->addAction(Pictures::Glyph(QStringLiteral("save")), QStringLiteral("Save as XLS"));
    dxBarLargeButton2->setObjectName(QStringLiteral("dxBarLargeButton2"));
    dxBarLargeButton2->setToolTip(QStringLiteral("Save as XLS"));
    connect(dxBarLargeButton1, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton1Click(); }); });
    connect(dxBarLargeButton2, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton2Click(); }); });
    layout->addWidget(dxBarManager1Bar1);

    cxPageControl1 = new QTabWidget(client);
    cxPageControl1->setObjectName(QStringLiteral("cxPageControl1"));
    layout->addWidget(cxPageControl1, 1);

    cxTabSheet1 = new QWidget;
    cxTabSheet1->setObjectName(QStringLiteral("cxTabSheet1"));
    auto* graphical = new QVBoxLayout(cxTabSheet1);
    graphical->setContentsMargins(0, 0, 0, 0);
    cxSplitter1 = NewSplitter(Qt::Horizontal, QStringLiteral("cxSplitter1"));
    LeftColumn = NewSplitter(Qt::Vertical, QStringLiteral("Panel1"));
    RightColumn = NewSplitter(Qt::Vertical, QStringLiteral("Panel2"));
    const auto& layouts = graphs::ChartLayouts();
    for (size_t i = 0; i < layouts.size(); ++i) {
        Charts[i] = NewChartView(layouts[i]);
        (i % 2 == 0 ? LeftColumn : RightColumn)->addWidget(Charts[i]);
    }
    cxSplitter1->addWidget(LeftColumn);
    cxSplitter1->addWidget(RightColumn);
    graphical->addWidget(cxSplitter1);
    cxTabSheet1->installEventFilter(this);
    cxPageControl1->addTab(cxTabSheet1, QStringLiteral("Graphical mode"));

    cxTabSheet2 = new QWidget;
    cxTabSheet2->setObjectName(QStringLiteral("cxTabSheet2"));
    auto* numerical = new QVBoxLayout(cxTabSheet2);
    numerical->setContentsMargins(0, 0, 0, 0);
    cxSpreadSheet1 = new QTableWidget(0, graphs::kSheetColumns);
    cxSpreadSheet1->setObjectName(QStringLiteral("cxSpreadSheet1"));
    cxSpreadSheet1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxSpreadSheet1->setAlternatingRowColors(true);
    cxSpreadSheet1->verticalHeader()->setVisible(false);
    cxSpreadSheet1->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    numerical->addWidget(cxSpreadSheet1);
    cxPageControl1->addTab(cxTabSheet2, QStringLiteral("Numerical mode"));

    setWidget(client);
}

void TGraphForm::PrepareGraphData(double pixelSpacing)
{
    FrameCount = context_.Card->AnalysedFrameCount();
    GraphPixelSpacing = pixelSpacing;

    QStringList headers;
    for (const char* header : graphs::SheetHeaders())
        headers << QString::fromLatin1(header);
    cxSpreadSheet1->setHorizontalHeaderLabels(headers);
}

void TGraphForm::LoadGraphContours(const GraphCard& card)
{
    Walls = graphs::LoadGraphContours(FrameCount, card.walls);
    Problems = card.warnings;
    Problems.insert(Problems.end(), Walls.problems.begin(), Walls.problems.end());
}

void TGraphForm::FillChartsAndSheet()
{
    const auto& layouts = graphs::ChartLayouts();
    for (size_t i = 0; i < layouts.size(); ++i) {
        QChart* chart = Charts[i]->chart();
        const QList<QAbstractSeries*> series = chart->series();
        for (size_t s = 0; s < layouts[i].plotted.size(); ++s) {
            QList<QPointF> points;
            for (const graphs::DoublePoint& p : MeasurementSeries[layouts[i].plotted[s].series])
                points.append(QPointF(p.x, p.y));
            static_cast<QLineSeries*>(series[static_cast<int>(s)])->replace(points);
        }
        ApplyRange(static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).first()), graphs::FrameAxis(MeasurementSeries));
        ApplyRange(static_cast<QValueAxis*>(chart->axes(Qt::Vertical).first()),
                   graphs::ValueAxis(layouts[i], MeasurementSeries));
    }

    // The sheet: the system's decimal separator, up to 15 significant digits.
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const std::vector<graphs::SheetRow> rows = graphs::SheetRows(MeasurementSeries);
    cxSpreadSheet1->setRowCount(static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        const int row = static_cast<int>(r);
        auto* frame = new QTableWidgetItem(QString::number(rows[r].frameNumber));
        frame->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cxSpreadSheet1->setItem(row, 0, frame);
        for (size_t c = 0; c < rows[r].values.size(); ++c) {
            auto* item = new QTableWidgetItem(locale.toString(rows[r].values[c], 'g', 15));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cxSpreadSheet1->setItem(row, static_cast<int>(c + 1), item);
        }
    }
    // Columns as wide as their numbers; the captions wrap onto two lines.
    QHeaderView* header = cxSpreadSheet1->horizontalHeader();
    const QFontMetrics cells = cxSpreadSheet1->fontMetrics();
    for (int c = 0; c < graphs::kSheetColumns; ++c) {
        int width = c == 0 ? 64 : 96;
        for (int r = 0; r < cxSpreadSheet1->rowCount(); ++r)
            width = std::max(width, cells.horizontalAdvance(cxSpreadSheet1->item(r, c)->text()) + 16);
        header->resizeSection(c, width);
    }
    header->setMinimumHeight(2 * header->fontMetrics().height() + 12);
}

bool TGraphForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cxTabSheet1 && event->type() == QEvent::Resize)
        FormResize();
    return TChildForm::eventFilter(watched, event);
}

void TGraphForm::FormResize()
{
    // Two columns of equal width and three rows of equal height; a splitter dragged by the
    // user keeps its place until the window is resized again.
    const int width = cxTabSheet1->width();
    const int height = cxTabSheet1->height();
    const int left = width / 2 - kSplitterWidth;
    cxSplitter1->setSizes({left, std::max(0, width - left - kSplitterWidth)});
    const int row = std::max(0, (height - 2 * kSplitterWidth) / 3);
    const int last = std::max(0, height - 2 * kSplitterWidth - 2 * row);
    LeftColumn->setSizes({row, row, last});
    RightColumn->setSizes({row, row, last});
}

void TGraphForm::Repaint()
{
    update();
    repaint();
}

void TGraphForm::ReportProblems()
{
    QStringList lines;
    for (const std::string& problem : Problems)
        lines << QString::fromStdString(problem);
    Prompt().ErrorDialog(lines.join(QLatin1Char('\n')));
}

void TGraphForm::dxBarLargeButton2Click()
{
    cxPageControl1->setCurrentWidget(cxTabSheet2);
    Repaint();
    const QString proposed =
        QDir(AppPaths::Root()).filePath(QString::fromStdString(graphs::WorkbookFileName(code_)));
    QString file = SaveDialog()(this, QStringLiteral("Save as XLS file"), proposed,
                                QStringLiteral("All files (*.*);;") + QString::fromLatin1(kXlsxFilter));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".xlsx");
    Repaint();
    const std::string error =
        graphs::WriteMeasurementWorkbook(QFile::encodeName(file).toStdString(), graphs::SheetRows(MeasurementSeries));
    if (!error.empty()) {
        Prompt().Error(QStringLiteral("The spreadsheet could not be saved as %1: %2")
                           .arg(QDir::toNativeSeparators(file), QString::fromStdString(error)));
        return;
    }
    Prompt().InfoDialog(QStringLiteral("XLS file saved successfully"));
}

void TGraphForm::dxBarLargeButton1Click()
{
    cxPageControl1->setCurrentWidget(cxTabSheet1);
    Repaint();
    const QString folder = FolderBrowser()(this, QStringLiteral("Select output folder"));
    if (folder.isEmpty())
        return;
    // The six images are encoded first and written as one set: a failure leaves every
    // image of an earlier save as it was.
    std::array<std::string, 6> images;
    const auto& layouts = graphs::ChartLayouts();
    for (size_t i = 0; i < layouts.size(); ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!Charts[i]->grab().save(&buffer, "BMP")) {
            const QString file =
                QDir(folder).filePath(QString::fromStdString(graphs::ChartImageFileName(code_, layouts[i])));
            Prompt().Error(QStringLiteral("The following images could not be saved:\n\n") +
                           QDir::toNativeSeparators(file) + QStringLiteral(": the chart could not be drawn"));
            return;
        }
        images[i] = bytes.toStdString();
    }
    const std::string failure =
        graphs::WriteChartImages(std::filesystem::path(QFile::encodeName(folder).toStdString()), code_, images);
    if (!failure.empty()) {
        Prompt().Error(QStringLiteral("The following images could not be saved:\n\n") +
                       QString::fromLocal8Bit(failure.c_str()));
        return;
    }
    Prompt().InfoDialog(QStringLiteral("Images saved successfully"));
}
