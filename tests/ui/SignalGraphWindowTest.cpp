// The signal graph window on the offscreen platform.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "networks/RssiHistory.h"
#include "ui/SignalGraphWindow.h"

namespace tarvik::ui {

namespace {

SignalGraphLook Look(std::optional<GraphColour> colour) {
    SignalGraphLook look;
    look.title = "home 00:0c:41:82:b2:bf";
    look.lineColour = colour;
    look.leftLabel = look.rightLabel = "Signal (dBm)";
    look.bottomLabel = "Tarvik 1.2";
    return look;
}

QList<QPointF> Points(const SignalGraphWindow& window, std::size_t segment) {
    return window.Segments().at(segment)->upperSeries()->points();
}

}  // namespace

class SignalGraphWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void drawsRunsBetweenGapsFittedToTheData() {
        SignalGraphWindow window(Look(GraphColour{1.0F, 0.4F, 0.2F, 1.0F}));
        const double gap = kNoRssiSample;
        window.SetSamples({-60, -62, gap, gap, -50, gap, -70, -71});
        QCOMPARE(window.Segments().size(), std::size_t{3});
        QCOMPARE(Points(window, 0), (QList<QPointF>{{0, -60}, {1, -62}}));
        QCOMPARE(Points(window, 1), (QList<QPointF>{{3.6, -50}, {4.4, -50}}));
        QCOMPARE(Points(window, 2), (QList<QPointF>{{6, -70}, {7, -71}}));
        QCOMPARE(window.Segments()[2]->lowerSeries()->points(),
                 (QList<QPointF>{{6, -80}, {7, -80}}));
        QCOMPARE(window.LeftAxis().min(), -80.0);
        QCOMPARE(window.LeftAxis().max(), -45.0);
        QCOMPARE(window.RightAxis().max(), -45.0);
        // Round ticks: every 10 dB from -80 over a 35 dB range.
        QCOMPARE(window.LeftAxis().tickType(), QValueAxis::TicksDynamic);
        QCOMPARE(window.LeftAxis().tickInterval(), 10.0);
        QCOMPARE(window.LeftAxis().tickAnchor(), 0.0);
        QCOMPARE(window.BottomAxis().max(), 7.0);
        QCOMPARE(window.Segments()[0]->pen().color(), QColor::fromRgbF(1.0F, 0.4F, 0.2F));
        QCOMPARE(window.Segments()[0]->pen().widthF(), 2.0);

        // Fewer runs later: the spare segments are emptied, not left behind.
        window.SetSamples({gap, gap});
        QVERIFY(Points(window, 0).isEmpty() && Points(window, 2).isEmpty());
        QCOMPARE(window.LeftAxis().min(), -100.0);
        QCOMPARE(window.LeftAxis().max(), 0.0);
        QCOMPARE(window.RightAxis().tickInterval(), 20.0);
    }

    // Texts, one default colour for every segment, hiding on close, PNG.
    void textsHidingAndSavingThePicture() {
        SignalGraphWindow window(Look(std::nullopt));
        QCOMPARE(window.Chart().title(), QString("home 00:0c:41:82:b2:bf"));
        for (QValueAxis* axis : {&window.LeftAxis(), &window.RightAxis()}) {
            QCOMPARE(axis->titleText(), QString("Signal (dBm)"));
            QVERIFY(axis->labelsVisible());
        }
        QCOMPARE(window.BottomAxis().titleText(), QString("Tarvik 1.2"));
        window.SetSamples({-60, kNoRssiSample, -61, -62});
        QCOMPARE(window.Segments()[1]->pen().color(), window.Segments()[0]->pen().color());
        window.ShowGraph();
        QVERIFY(window.IsGraphShown());
        window.close();
        QVERIFY(!window.IsGraphShown());

        QTemporaryDir folder;
        QVERIFY(window.SavePicture(folder.filePath("graph")));
        QImage picture(folder.filePath("graph.png"), "PNG");
        QVERIFY(!picture.isNull());
        QVERIFY(!window.SavePicture(folder.filePath("missing/graph.png")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"graph.png"});
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::SignalGraphWindowTest)
#include "SignalGraphWindowTest.moc"
