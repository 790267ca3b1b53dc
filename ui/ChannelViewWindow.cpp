#include "ui/ChannelViewWindow.h"

#include <QCategoryAxis>
#include <QChartView>
#include <QFontMetrics>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QPen>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "app/ChannelHills.h"

namespace tarvik::ui {
namespace {

constexpr double kTopDbm = -10;
// Channels of axis margin past the first and last channel, so edge hills
// show whole.
constexpr double kAxisMargin = 3;
constexpr double kBorderWidth = 1.0;
constexpr double kSelectedBorderWidth = 3.5;
// Labels longer than this many pixels are cut with an ellipsis.
constexpr int kLabelWidth = 90;

// Every 2.4 GHz channel; every other 5 GHz one of the usual sub-bands.
constexpr int kLabels24[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
constexpr int kLabels5[] = {36, 44, 52, 60, 100, 108, 116, 124, 132, 140, 149, 157, 165};

// The channel axis: labels on the given channel numbers only, a grid line
// at each, so no label names a channel that does not exist.
QCategoryAxis* NewChannelAxis(const QString& title, std::span<const int> labelled) {
    auto* axis = new QCategoryAxis;
    axis->setTitleText(title);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(labelled.front() - kAxisMargin, labelled.back() + kAxisMargin);
    axis->setStartValue(labelled.front() - kAxisMargin);
    for (const int channel : labelled) axis->append(QString::number(channel), channel);
    return axis;
}

QValueAxis* NewAxis(const QString& title, double low, double high, double anchor, double interval) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat("%d");
    axis->setRange(low, high);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(anchor);
    axis->setTickInterval(interval);
    return axis;
}

void DrawHill(QAreaSeries& area, const ChannelHill& hill) {
    const double centre = hill.place.centre;
    const double half = hill.place.halfSpan;
    // A trapezoid: steep flanks over the outer channel, flat over the rest.
    const double flank = half > 1 ? 1.0 : half / 2;
    area.upperSeries()->replace({{centre - half, kChannelViewFloorDbm},
                                 {centre - half + flank, hill.rssi},
                                 {centre + half - flank, hill.rssi},
                                 {centre + half, kChannelViewFloorDbm}});
    area.lowerSeries()->replace(
        {{centre - half, kChannelViewFloorDbm}, {centre + half, kChannelViewFloorDbm}});
    const QColor colour(hill.colour.red, hill.colour.green, hill.colour.blue);
    QPen pen(colour.darker(hill.highlighted ? 200 : 140));
    pen.setWidthF(hill.highlighted ? kSelectedBorderWidth : kBorderWidth);
    area.setPen(pen);
    QColor fill = colour;
    fill.setAlphaF(hill.highlighted ? 0.8F : 0.55F);
    area.setBrush(fill);
    area.setName(QString::fromStdString(hill.label));
}

// The network's name for its label, cut to fit above a hill.
QString LabelText(const ChannelHill& hill, const QFont& font) {
    const QString name = QString::fromStdString(hill.label);
    return QFontMetrics(font).elidedText(name, Qt::ElideRight, kLabelWidth);
}

}  // namespace

ChannelViewWindow::ChannelViewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Channel View"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateChart(low_, tr("2.4 GHz"), kLabels24), 1);
    layout->addWidget(CreateChart(high_, tr("5 GHz"), kLabels5), 1);
    resize(760, 620);
}

QWidget* ChannelViewWindow::CreateChart(BandChart& band, const QString& title,
                                        std::span<const int> labelled) {
    band.name = title;
    band.chart = new QChart;
    band.chart->setTitle(title);
    band.chart->legend()->hide();
    band.channels = NewChannelAxis(tr("Channel"), labelled);
    band.rssi = NewAxis(tr("Signal (dBm)"), kChannelViewFloorDbm, kTopDbm, kTopDbm, 10);
    band.chart->addAxis(band.channels, Qt::AlignBottom);
    band.chart->addAxis(band.rssi, Qt::AlignLeft);
    auto* view = new QChartView(band.chart, this);
    view->setRenderHint(QPainter::Antialiasing);
    connect(band.chart, &QChart::plotAreaChanged, this, [this, &band] { PlaceLabels(band); });
    return view;
}

void ChannelViewWindow::ShowChannels() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

QAreaSeries* ChannelViewWindow::NextSeries(BandChart& band) {
    if (band.used == band.series.size()) {
        auto* area = new QAreaSeries;
        area->setUpperSeries(new QLineSeries(area));
        area->setLowerSeries(new QLineSeries(area));
        band.chart->addSeries(area);
        area->attachAxis(band.channels);
        area->attachAxis(band.rssi);
        band.series.push_back(area);
    }
    QAreaSeries* area = band.series[band.used++];
    area->setVisible(true);
    return area;
}

QGraphicsSimpleTextItem& ChannelViewWindow::NextLabel(BandChart& band) {
    if (band.labels.size() < band.used) {
        auto* label = new QGraphicsSimpleTextItem(band.chart);
        label->setZValue(band.chart->zValue() + 10);
        band.labels.push_back(label);
    }
    return *band.labels[band.used - 1];
}

void ChannelViewWindow::PlaceLabels(BandChart& band) {
    // The selected network's label first, then the strongest: a label that
    // would cover one already placed stays hidden, so a crowded channel
    // shows the names of its strongest networks legibly.
    std::vector<std::size_t> order(band.used);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&band](std::size_t a, std::size_t b) {
        const bool aSelected = band.lastIsSelected && a + 1 == band.used;
        const bool bSelected = band.lastIsSelected && b + 1 == band.used;
        if (aSelected != bSelected) return aSelected;
        return band.peaks[a].y() > band.peaks[b].y();
    });
    std::vector<QRectF> placed;
    for (const std::size_t i : order) {
        QGraphicsSimpleTextItem& label = *band.labels[i];
        // Centred just above the hill's top, inside the plot area.
        const QPointF top = band.chart->mapToPosition(band.peaks[i]);
        const QRectF box = label.boundingRect();
        const QRectF area = band.chart->plotArea();
        const double x = std::clamp(top.x() - box.width() / 2, area.left(),
                                    std::max(area.left(), area.right() - box.width()));
        label.setPos(x, top.y() - box.height());
        const QRectF where = label.sceneBoundingRect();
        const bool covers = std::ranges::any_of(
            placed, [&where](const QRectF& other) { return other.intersects(where); });
        label.setVisible(!covers && !label.text().isEmpty());
        if (label.isVisible()) placed.push_back(where);
    }
    for (std::size_t i = band.used; i < band.labels.size(); ++i) band.labels[i]->setVisible(false);
}

void ChannelViewWindow::SetHills(const ChannelHillSet& set) {
    for (BandChart* band : {&low_, &high_}) {
        band->used = 0;
        band->lastIsSelected = false;
    }
    // The highlighted hill last, so that it is drawn over its neighbours.
    for (const bool highlighted : {false, true}) {
        for (const ChannelHill& hill : set.hills) {
            if (hill.highlighted != highlighted) continue;
            BandChart& band = Band(hill.place.band);
            DrawHill(*NextSeries(band), hill);
            QGraphicsSimpleTextItem& label = NextLabel(band);
            label.setText(LabelText(hill, label.font()));
            band.peaks.resize(band.used);
            band.peaks.back() = QPointF(hill.place.centre, hill.rssi);
            band.lastIsSelected = hill.highlighted;
        }
    }
    for (BandChart* band : {&low_, &high_}) {
        for (std::size_t i = band->used; i < band->series.size(); ++i) {
            band->series[i]->setVisible(false);
        }
    }
    for (const WifiBand band : {WifiBand::Band24GHz, WifiBand::Band5GHz}) {
        SetTitle(Band(band), set.leftOut[BandIndex(band)]);
        PlaceLabels(Band(band));
    }
}

void ChannelViewWindow::SetTitle(BandChart& band, std::size_t leftOut) {
    QString title = band.name;
    if (leftOut > 0) {
        title = tr("%1: the %2 strongest of %3 networks")
                    .arg(band.name)
                    .arg(band.used)
                    .arg(band.used + leftOut);
    }
    if (band.chart->title() != title) band.chart->setTitle(title);
}

QStringList ChannelViewWindow::ShownLabels(WifiBand band) const {
    QStringList texts;
    for (const QGraphicsSimpleTextItem* label : Band(band).labels) {
        if (label->isVisible()) texts << label->text();
    }
    return texts;
}

std::vector<QAreaSeries*> ChannelViewWindow::ShownHills(WifiBand band) const {
    const BandChart& chart = Band(band);
    return {chart.series.begin(), chart.series.begin() + static_cast<std::ptrdiff_t>(chart.used)};
}

}  // namespace tarvik::ui
