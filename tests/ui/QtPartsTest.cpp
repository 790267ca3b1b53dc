// The Qt glue on its own: main loop, status line fed by threads, adapter chooser.
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "ui/AdapterComboBox.h"
#include "ui/ChannelViewWindow.h"
#include "ui/QtMainLoop.h"
#include "ui/StatusLineEdit.h"

namespace tarvik::ui {

class QtPartsTest : public QObject {
    Q_OBJECT

  private slots:
    // Names over the hills: the selected network's first, then the
    // strongest; one that would cover another stays hidden, also after a
    // resize. A band with networks left out says so.
    void channelViewLabelsDoNotCoverEachOther() {
        ChannelViewWindow view;
        view.resize(700, 500);
        view.show();
        const auto hill = [](const char* name, int channel, double rssi, bool selected) {
            return ChannelHill{{WifiBand::Band24GHz, channel, 2}, rssi, {}, name, selected};
        };
        view.SetHills({{hill("far", 1, -50, false), hill("strong", 6, -50, false),
                        hill("weak", 6, -51, false), hill("sel", 6, -52, true)},
                       {5, 0}});
        QCOMPARE(view.ShownLabels(WifiBand::Band24GHz), (QStringList{"far", "sel"}));
        QCOMPARE(view.Chart(WifiBand::Band24GHz).title(), "2.4 GHz: the 4 strongest of 9 networks");
        QCOMPARE(view.Chart(WifiBand::Band5GHz).title(), "5 GHz");
        view.resize(900, 700);
        QTRY_COMPARE(view.ShownLabels(WifiBand::Band24GHz), (QStringList{"far", "sel"}));
        view.SetHills({{hill("strong", 6, -50, false), hill("weak", 6, -80, false)}, {0, 0}});
        QCOMPARE(view.ShownLabels(WifiBand::Band24GHz), (QStringList{"strong", "weak"}));
        QCOMPARE(view.Chart(WifiBand::Band24GHz).title(), "2.4 GHz");
    }

    void sendRunsOnTheGuiThreadAndWaitsUntilClosed() {
        QtMainLoop loop;
        QThread* gui = QThread::currentThread();
        std::atomic<bool> ranOnGui = false;
        std::atomic<bool> returned = false;
        std::thread worker([&] {
            QVERIFY(!loop.IsGuiThread());
            loop.Send([&] { ranOnGui = QThread::currentThread() == gui; });
            returned = true;
        });
        QTRY_VERIFY(returned.load());
        worker.join();
        QVERIFY(ranOnGui.load());
        bool direct = false;
        loop.Send([&] { direct = true; });
        QVERIFY(direct);

        // Closing releases waiting senders without running their work.
        std::atomic<bool> ran = false;
        returned = false;
        std::thread waiting([&] {
            loop.Send([&] { ran = true; });
            returned = true;
        });
        // The GUI thread closes instead of serving the waiting sender.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        loop.Close();
        waiting.join();
        QVERIFY(returned.load());
        QCoreApplication::processEvents();
        QVERIFY(!ran.load());
        // Later sends and posts from other threads are dropped.
        std::thread([&] {
            loop.Send([&] { ran = true; });
            loop.Post([&] { ran = true; });
        }).join();
        QCoreApplication::processEvents();
        QVERIFY(!ran.load());
    }

    void timersTickByIdUntilStopped() {
        QtMainLoop loop;
        std::vector<int> ticks;
        loop.SetTickHandler([&](int id) { ticks.push_back(id); });
        loop.StartTimer(9, std::chrono::milliseconds(20));
        loop.StartTimer(1, std::chrono::milliseconds(0));  // clamped, not a busy loop
        QCOMPARE(loop.TimerPeriod(1), std::chrono::milliseconds(10));
        QTRY_VERIFY(std::count(ticks.begin(), ticks.end(), 9) >= 2);
        loop.StopTimer(9);
        loop.StopTimer(1);
        QVERIFY(!loop.IsTimerActive(9));
        const std::size_t before = ticks.size();
        QTest::qWait(60);
        QCOMPARE(ticks.size(), before);
    }

    void statusTextFromAnotherThreadIsPostedToTheEdit() {
        StatusLineEdit edit;
        edit.Attach();
        std::thread([] { SetStatusText("From the worker"); }).join();
        QTRY_VERIFY(edit.text().endsWith("From the worker"));
        SetStatusText("From the GUI");
        QVERIFY(edit.text().endsWith("From the GUI"));
    }

    void chooserReportsUserPicksOnly() {
        AdapterComboBox combo;
        std::vector<std::string> calls;
        combo.SetSelectionHandlers([&] { calls.push_back("change"); },
                                   [&] { calls.push_back("confirm"); });
        int cards[2] = {};
        QCOMPARE(combo.AddItem("Card A", reinterpret_cast<CAdapter*>(&cards[0])), 0);
        QCOMPARE(combo.AddItem("Card B", reinterpret_cast<CAdapter*>(&cards[1])), 1);
        combo.SetCurrentSelection(1);  // the program's own choice: no handler runs
        QCOMPARE(combo.GetItemText(combo.GetCurrentSelection()), std::string("Card B"));
        QVERIFY(calls.empty());
        emit combo.activated(0);
        QCOMPARE(calls, (std::vector<std::string>{"change", "confirm"}));
        combo.ResetContent();
        QCOMPARE(combo.GetCurrentSelection(), -1);
        QVERIFY(combo.ItemAdapter(0) == nullptr);
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::QtPartsTest)
#include "QtPartsTest.moc"
