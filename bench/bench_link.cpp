// Acquisition over the serial link, measured: line-rate use and the program's CPU share during a
// paced 4 x 20000 acquisition (through k4sim on a pseudo-terminal and through the in-process
// unit), and how fast STOP ends a run.
//
//   QT_QPA_PLATFORM=offscreen <build>/bin/bench_link

#include "acquisition.h"
#include "k4demo.h"
#include "rs232.h"
#include "wave_stor.h"

#include <Velkit/vlk_misc.h>

#include <QApplication>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include "run_benchmarks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <functional>

class StopTarget : public QWidget
{
    Q_OBJECT
public slots:
    void slot_tStopReleased() { abortLink(); }
};

namespace {

constexpr int Samples = 20000;
constexpr int Baud = 115200;

double cpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

class Sim
{
public:
    bool start(const QStringList& args)
    {
        m_proc.start(QStringLiteral(TAVREL_BIN_DIR "/k4sim"), QStringList(args) << "--lifetime-ms"
                                                                                << "300000");
        if (!m_proc.waitForStarted(5000))
            return false;
        while (!m_proc.canReadLine())
            if (!m_proc.waitForReadyRead(5000))
                return false;
        g_link.portName = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
        return true;
    }
    ~Sim()
    {
        m_proc.terminate();
        if (!m_proc.waitForFinished(3000))
            m_proc.kill();
        m_proc.waitForFinished(3000);
    }

private:
    QProcess m_proc;
};

// Notes when the channel phase begins (bar at 20) and calls back on every step of the bar.
class Watch : public QObject
{
public:
    Watch()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (bar)
                return;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("LoadProgress") && w->isVisible()) {
                    bar = w->findChild<QProgressBar*>("progressBar");
                    stop = w->findChild<QToolButton*>("tStop");
                    connect(bar, &QProgressBar::valueChanged, this, [this](int v) {
                        if (v >= 20 && channelsFrom == 0)
                            channelsFrom = velkit::monotonicMs();
                        if (onValue)
                            onValue(v);
                    });
                }
            }
        });
        m_timer.start();
    }
    QProgressBar* bar = nullptr;
    QToolButton* stop = nullptr;
    qint64 channelsFrom = 0;
    std::function<void(int)> onValue;

private:
    QTimer m_timer;
};

// The line rate and the parameter block every run of this file uses.
void setParameters()
{
    g_link.rate = Baud;
    AcquisitionParameters p;
    p.halfLength = Samples / 2;
    p.waitCount = 24;
    p.detector = 0;
    g_acquisitionParameters = p;
}

void runPaced(benchmark::State& state, bool throughPty)
{
    for (auto _ : state) {
        state.PauseTiming();
        Sim sim;
        if (throughPty) {
            if (!sim.start({"--seed", "3"})) {
                state.SkipWithError("k4sim did not start");
                return;
            }
        } else {
            g_link.portName = demoPortName();
            demoUnit().setPaced(true);
            demoUnit().setFault(K4Fault());
        }
        setParameters();
        TWaveStor record;
        record.init(4, Samples);
        StopTarget main;
        Watch watch;
        state.ResumeTiming();

        const double c0 = cpuMs();
        const qint64 t0 = velkit::monotonicMs();
        const bool ok = acquireFromUnit(record, &main);
        const qint64 t1 = velkit::monotonicMs();
        const double cpu = cpuMs() - c0;
        if (!ok) {
            state.SkipWithError("acquisition failed");
            return;
        }
        const double channelSeconds = double(t1 - watch.channelsFrom) / 1000.0;
        const double lineBytesPerS = Baud / 10.0;
        state.counters["wall_ms"] = double(t1 - t0);
        state.counters["channels_ms"] = channelSeconds * 1000.0;
        state.counters["line_rate_pct"] = 100.0 * (4.0 * Samples) / (lineBytesPerS * channelSeconds);
        state.counters["cpu_pct"] = 100.0 * cpu / double(t1 - t0);
    }
}

void BM_PacedAcquisitionK4sim(benchmark::State& state)
{
    runPaced(state, true);
}

void BM_PacedAcquisitionDemo(benchmark::State& state)
{
    runPaced(state, false);
}

// STOP pressed while the unit is busy and while a channel streams in: time until the run
// returns.
void BM_StopLatency(benchmark::State& state)
{
    for (auto _ : state) {
        double worst = 0;
        for (int kind = 0; kind < 2; ++kind) {
            for (int rep = 0; rep < 5; ++rep) {
                Sim sim;
                const QStringList args = kind == 0 ? QStringList{"--fault", "busy-forever"} : QStringList{};
                if (!sim.start(args)) {
                    state.SkipWithError("k4sim did not start");
                    return;
                }
                setParameters();
                TWaveStor record;
                record.init(4, Samples);
                StopTarget main;
                Watch watch;
                qint64 pressed = 0;
                auto press = [&] {
                    if (!pressed && watch.stop) {
                        pressed = velkit::monotonicMs();
                        emit watch.stop->released();
                    }
                };
                if (kind == 0)
                    QTimer::singleShot(300 + 37 * rep, &main, press);
                else
                    watch.onValue = [&](int v) {
                        if (v > 20 + 3000 + 1000 * rep)
                            press();
                    };
                acquireFromUnit(record, &main);
                if (pressed)
                    worst = std::max(worst, double(velkit::monotonicMs() - pressed));
            }
        }
        state.counters["stop_worst_ms"] = worst;
    }
}

} // namespace

BENCHMARK(BM_PacedAcquisitionK4sim)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacedAcquisitionDemo)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StopLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

#include "bench_link.moc"
