#include "ui/SignalGraphWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "networks/RssiHistory.h"

namespace tarvik::ui {
namespace {

// Runs beyond this many are joined, their gaps drawn at the axis floor: a
// network that flickers in and out must not cost a series per second.
constexpr std::size_t kMaxSegments = 64;
// A lone sample between gaps is drawn this far to either side.
constexpr double kLoneSampleHalfWidth = 0.4;
// Headroom above and below the samples, in dB.
constexpr double kMarginDb = 5.0;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QColor ColourOf(const GraphColour& colour) {
    return QColor::fromRgbF(colour.red, colour.green, colour.blue, colour.alpha);
}

struct Run {
    std::size_t first;
    std::size_t last;
};

std::vector<Run> RunsOf(const std::vector<double>& samples) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (IsNoRssiSample(samples[i])) continue;
        if (runs.size() == kMaxSegments) {
            runs.back().last = samples.size() - 1;
            break;
        }
        std::size_t last = i;
        while (last + 1 < samples.size() && !IsNoRssiSample(samples[last + 1])) ++last;
        runs.push_back({i, last});
        i = last;
    }
    return runs;
}

QValueAxis* NewAxis(const std::string& title, bool numbers) {
    auto* axis = new QValueAxis;
    axis->setTitleText(Text(title));
    axis->setLabelFormat("%d");
    axis->setLabelsVisible(numbers);
    return axis;
}

}  // namespace

SignalGraphWindow::SignalGraphWindow(const SignalGraphLook& look, QWidget* parent)
    : QWidget(parent, Qt::Window),
      look_(look),
      chart_(new QChart),
      view_(new QChartView(chart_, this)),
      bottom_(NewAxis(look.bottomLabel, true)),
      left_(NewAxis(look.leftLabel, true)),
      right_(NewAxis(look.rightLabel, look.rightNumbers)),
      save_(new QPushButton(tr("Save Picture..."), this)) {
    setWindowTitle(Text(look.title));
    chart_->setTitle(Text(look.title));
    chart_->legend()->hide();
    chart_->addAxis(bottom_, Qt::AlignBottom);
    chart_->addAxis(left_, Qt::AlignLeft);
    chart_->addAxis(right_, Qt::AlignRight);
    view_->setRenderHint(QPainter::Antialiasing);
    connect(save_, &QPushButton::clicked, this, [this] { AskAndSavePicture(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    resize(640, 420);
    SetSamples({});
}

void SignalGraphWindow::ShowGraph() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

// The first segment takes the chart theme's colour when the look names none;
// later ones copy it, so one network is one colour.
QAreaSeries* SignalGraphWindow::Segment(std::size_t index) {
    while (segments_.size() <= index) {
        auto* area = new QAreaSeries;
        area->setUpperSeries(new QLineSeries(area));
        area->setLowerSeries(new QLineSeries(area));
        chart_->addSeries(area);
        area->attachAxis(bottom_);
        area->attachAxis(left_);
        QColor colour = segments_.empty() ? area->color() : segments_.front()->borderColor();
        if (look_.lineColour) colour = ColourOf(*look_.lineColour);
        QPen pen(colour);
        pen.setWidthF(look_.lineWidth);
        area->setPen(pen);
        QColor fill = colour;
        fill.setAlphaF(look_.filled ? 0.35F : 0.0F);
        area->setBrush(fill);
        segments_.push_back(area);
    }
    return segments_[index];
}

void SignalGraphWindow::SetSamples(const std::vector<double>& samples) {
    FitAxes(samples);
    const double floor = left_->min();
    const std::vector<Run> runs = RunsOf(samples);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        QList<QPointF> upper;
        QList<QPointF> lower;
        auto add = [&](double x, double y) {
            upper.append({x, IsNoRssiSample(y) ? floor : y});
            lower.append({x, floor});
        };
        const Run run = runs[r];
        if (run.first == run.last) {
            add(run.first - kLoneSampleHalfWidth, samples[run.first]);
            add(run.first + kLoneSampleHalfWidth, samples[run.first]);
        }
        for (std::size_t i = run.first; run.first != run.last && i <= run.last; ++i) {
            add(static_cast<double>(i), samples[i]);
        }
        QAreaSeries* area = Segment(r);
        area->upperSeries()->replace(upper);
        area->lowerSeries()->replace(lower);
    }
    for (std::size_t r = runs.size(); r < segments_.size(); ++r) {
        segments_[r]->upperSeries()->clear();
        segments_[r]->lowerSeries()->clear();
    }
}

void SignalGraphWindow::FitAxes(const std::vector<double>& samples) {
    double lowest = 0;
    double highest = 0;
    bool any = false;
    for (double sample : samples) {
        if (IsNoRssiSample(sample)) continue;
        lowest = any ? std::min(lowest, sample) : sample;
        highest = any ? std::max(highest, sample) : sample;
        any = true;
    }
    if (!any) {
        lowest = -100 + kMarginDb;
        highest = -kMarginDb;
    }
    const double bottom = std::floor((lowest - kMarginDb) / kMarginDb) * kMarginDb;
    const double top = std::ceil((highest + kMarginDb) / kMarginDb) * kMarginDb;
    // Ticks on round dB values, 5, 10 or 20 apart, however wide the range.
    const double span = top - bottom;
    const double interval = span <= 30 ? 5 : span <= 60 ? 10 : 20;
    for (QValueAxis* axis : {left_, right_}) {
        axis->setRange(bottom, top);
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setTickInterval(interval);
    }
    bottom_->setRange(0, std::max<double>(1, static_cast<double>(samples.size()) - 1));
}

bool SignalGraphWindow::SavePicture(const QString& path) {
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty()) target += ".png";
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!view_->grab().save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void SignalGraphWindow::AskAndSavePicture() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Picture"), QString(),
                                                      tr("PNG pictures (*.png)"));
    if (path.isEmpty()) return;
    if (!SavePicture(path)) {
        QMessageBox::warning(this, tr("Save Picture"),
                             tr("Could not write the picture to %1.").arg(path));
    }
}

}  // namespace tarvik::ui
