#include "ui/ChannelViewWindow.h"

#include <QChartView>
#include <QLineSeries>
#include <QPen>
#include <QVBoxLayout>

#include "app/ChannelHills.h"

namespace tarvik::ui {
namespace {

constexpr double kTopDbm = -10;
// Channels of axis margin past the first and last channel, so edge hills
// show whole.
constexpr double kAxisMargin = 3;
constexpr double kBorderWidth = 1.0;
constexpr double kSelectedBorderWidth = 3.5;

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

}  // namespace

ChannelViewWindow::ChannelViewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Channel View"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateChart(low_, tr("2.4 GHz"), 1, 14, 1), 1);
    layout->addWidget(CreateChart(high_, tr("5 GHz"), 36, 165, 8), 1);
    resize(760, 620);
}

QWidget* ChannelViewWindow::CreateChart(BandChart& band, const QString& title, double first,
                                        double last, double tickEvery) {
    band.name = title;
    band.chart = new QChart;
    band.chart->setTitle(title);
    band.chart->legend()->hide();
    band.channels =
        NewAxis(tr("Channel"), first - kAxisMargin, last + kAxisMargin, first, tickEvery);
    band.rssi = NewAxis(tr("Signal (dBm)"), kChannelViewFloorDbm, kTopDbm, kTopDbm, 10);
    band.chart->addAxis(band.channels, Qt::AlignBottom);
    band.chart->addAxis(band.rssi, Qt::AlignLeft);
    auto* view = new QChartView(band.chart, this);
    view->setRenderHint(QPainter::Antialiasing);
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

void ChannelViewWindow::SetHills(const ChannelHillSet& set) {
    low_.used = 0;
    high_.used = 0;
    // The highlighted hill last, so that it is drawn over its neighbours.
    for (const bool highlighted : {false, true}) {
        for (const ChannelHill& hill : set.hills) {
            if (hill.highlighted == highlighted) DrawHill(*NextSeries(Band(hill.place.band)), hill);
        }
    }
    for (BandChart* band : {&low_, &high_}) {
        for (std::size_t i = band->used; i < band->series.size(); ++i) {
            band->series[i]->setVisible(false);
        }
    }
    for (const WifiBand band : {WifiBand::Band24GHz, WifiBand::Band5GHz})
        SetTitle(Band(band), set.leftOut[BandIndex(band)]);
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

std::vector<QAreaSeries*> ChannelViewWindow::ShownHills(WifiBand band) const {
    const BandChart& chart = Band(band);
    return {chart.series.begin(), chart.series.begin() + static_cast<std::ptrdiff_t>(chart.used)};
}

}  // namespace tarvik::ui
