// The signal graph of one network: a top-level window with a filled line of
// its RSSI samples against sample index, fitted to the data after every
// update, and a Save Picture... button that writes the plot as a PNG file.
// Closing the window only hides it; its owner (the application shell's
// graph list, through QtSignalGraphFactory) destroys it with the record.
#pragma once

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPushButton>
#include <QString>
#include <QValueAxis>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/SignalGraphView.h"

namespace tarvik::ui {

class SignalGraphWindow : public QWidget, public ISignalGraphView {
    Q_OBJECT
  public:
    explicit SignalGraphWindow(const SignalGraphLook& look, QWidget* parent = nullptr);

    void ShowGraph() override;
    bool IsGraphShown() const override { return isVisible(); }
    void SetSamples(const std::vector<double>& samples) override;

    // Writes the plot as a PNG file (".png" added when the name has no
    // suffix), replacing the file only once it is whole. False on failure.
    bool SavePicture(const QString& path);

    QChart& Chart() { return *chart_; }
    QValueAxis& BottomAxis() { return *bottom_; }
    QValueAxis& LeftAxis() { return *left_; }
    QValueAxis& RightAxis() { return *right_; }
    // The filled runs of samples between gaps; unused ones are empty.
    const std::vector<QAreaSeries*>& Segments() const { return segments_; }
    QPushButton& SaveButton() { return *save_; }

  private:
    void AskAndSavePicture();
    QAreaSeries* Segment(std::size_t index);
    void FitAxes(const std::vector<double>& samples);

    SignalGraphLook look_;
    QChart* chart_;
    QChartView* view_;
    QValueAxis* bottom_;
    QValueAxis* left_;
    QValueAxis* right_;
    QPushButton* save_;
    std::vector<QAreaSeries*> segments_;
};

class QtSignalGraphFactory : public ISignalGraphFactory {
  public:
    std::unique_ptr<ISignalGraphView> CreateSignalGraph(const SignalGraphLook& look) override {
        return std::make_unique<SignalGraphWindow>(look);
    }
};

}  // namespace tarvik::ui
