// The channel view: a top-level window with one chart per band (2.4 GHz
// channels 1-14, 5 GHz channels 36-165), each network in range drawn as a
// filled hill from the floor up to its RSSI over the channels its width
// covers, in its table colour; the selected network has a thicker border.
// Each hill carries its network's name; the channel axis labels real
// channels only. A crowded band shows its strongest networks and says so in
// its title.
// The charts are built once; each update replaces the hills' points.
// Closing the window only hides it; the application shell owns it.
#pragma once

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QValueAxis>
#include <QWidget>
#include <memory>
#include <span>
#include <vector>

#include "app/ChannelView.h"

namespace tarvik::ui {

class ChannelViewWindow : public QWidget, public IChannelView {
    Q_OBJECT
  public:
    explicit ChannelViewWindow(QWidget* parent = nullptr);

    void ShowChannels() override;
    bool IsChannelsShown() const override { return isVisible(); }
    void SetHills(const ChannelHillSet& set) override;

    QChart& Chart(WifiBand band) { return *Band(band).chart; }
    // The band's hills drawn now, in the order given (unused series left out).
    std::vector<QAreaSeries*> ShownHills(WifiBand band) const;
    // The names shown over the band's hills, in drawing order.
    QStringList ShownLabels(WifiBand band) const;

  private:
    struct BandChart {
        QString name;
        QChart* chart = nullptr;
        QCategoryAxis* channels = nullptr;
        QValueAxis* rssi = nullptr;
        std::vector<QAreaSeries*> series;
        // The name over each hill, and the top it sits on (channel, dBm).
        std::vector<QGraphicsSimpleTextItem*> labels;
        std::vector<QPointF> peaks;
        std::size_t used = 0;
        // The last hill drawn is the selected network's.
        bool lastIsSelected = false;
    };

    BandChart& Band(WifiBand band) { return band == WifiBand::Band24GHz ? low_ : high_; }
    const BandChart& Band(WifiBand band) const {
        return band == WifiBand::Band24GHz ? low_ : high_;
    }
    QWidget* CreateChart(BandChart& band, const QString& title, std::span<const int> labelled);
    QAreaSeries* NextSeries(BandChart& band);
    // The label of the hill NextSeries gave last.
    QGraphicsSimpleTextItem& NextLabel(BandChart& band);
    // Moves the labels onto their hills (after an update or a resize),
    // hiding those that would cover another.
    void PlaceLabels(BandChart& band);
    // The band's name, and how many hills are shown when some were left out.
    void SetTitle(BandChart& band, std::size_t leftOut);

    BandChart low_;
    BandChart high_;
};

class QtChannelViewFactory : public IChannelViewFactory {
  public:
    std::unique_ptr<IChannelView> CreateChannelView() override {
        return std::make_unique<ChannelViewWindow>();
    }
};

}  // namespace tarvik::ui
