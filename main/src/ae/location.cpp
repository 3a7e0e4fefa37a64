#include "ae/location.h"

#include "ae/hit_csv.h"
#include "convert.h"
#include "wave_stor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace ae {

namespace {

constexpr double MetresPerMicrosecond = 1e-6; // times m/s
constexpr double EventWindowMargin = 1.2;
constexpr double AicAfterUs = 10.0; // the AIC window reaches this far past the first crossing
// Residuals that differ by less than this count as equal (the two exact solutions of three hits).
constexpr double SameResidual = 1e-6;
constexpr int Candidates = 4; // coarse-grid minima refined

// Plain Pythagoras: the coordinates are metres, far from overflow, and std::hypot's care costs
// several times as much in the solver's inner loops.
inline double distance(double x1, double y1, double x2, double y2)
{
    const double dx = x1 - x2, dy = y1 - y2;
    return std::sqrt(dx * dx + dy * dy);
}

} // namespace

// ---- set-up ----

LocationCheck checkSettings(const LocationSettings& s)
{
    if (!std::isfinite(s.velocityMps) || !(s.velocityMps > 0.0))
        return {LocationCheck::BadVelocity};
    const std::vector<Sensor>& v = s.sensors;
    for (const Sensor& a : v)
        if (!std::isfinite(a.x) || (s.planar && !std::isfinite(a.y)))
            return {LocationCheck::BadPosition, a.channel};
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j)
            if (v[i].channel == v[j].channel)
                return {LocationCheck::ChannelTwice, v[i].channel};
    if (v.size() < (s.planar ? 3u : 2u))
        return {LocationCheck::TooFewSensors};
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j)
            if (v[i].x == v[j].x && (!s.planar || v[i].y == v[j].y))
                return {LocationCheck::CoincidentSensors, v[i].channel, v[j].channel};
    return {};
}

LocationCheck fromSetup(const LocationSetup& setup, LocationSettings& out, int channelCount)
{
    out.sensors.clear();
    out.velocityMps = setup.velocityMps;
    out.pick = setup.pick;
    out.aicWindowUs = setup.aicWindowUs;
    out.eventWindowUs = setup.eventWindowUs;
    int withY = 0;
    for (int ch = 0; ch < std::min(channelCount, LocationSetup::Channels); ++ch) {
        const LocationSetup::Channel& c = setup.channels[ch];
        if (!c.used)
            continue;
        out.sensors.push_back({ch, c.x, c.y});
        withY += std::isnan(c.y) ? 0 : 1;
    }
    out.planar = withY > 0 && withY == int(out.sensors.size());
    if (withY > 0 && !out.planar)
        return {LocationCheck::MixedDimensions};
    return checkSettings(out);
}

LocationCheck checkRecord(const LocationSettings& s, const TWaveStor& record)
{
    const LocationCheck c = checkSettings(s);
    if (!c)
        return c;
    if (!periodKnown(record.samplePeriodUs()))
        return {LocationCheck::NoPeriod};
    for (const Sensor& a : s.sensors) {
        const TWaveView* v = a.channel < record.channelCount() ? record.channel(a.channel) : nullptr;
        if (!v || v->spectrum)
            return {LocationCheck::MissingChannel, a.channel};
    }
    return {};
}

double eventWindowUs(const LocationSettings& s)
{
    if (s.eventWindowUs > 0.0)
        return s.eventWindowUs;
    double widest = 0.0;
    for (const Sensor& a : s.sensors)
        for (const Sensor& b : s.sensors)
            widest = std::max(widest, distance(a.x, s.planar ? a.y : 0.0, b.x, s.planar ? b.y : 0.0));
    return s.velocityMps > 0.0 ? widest / (s.velocityMps * MetresPerMicrosecond) * EventWindowMargin : 0.0;
}

// ---- arrival picks ----

qint64 aicOnset(const qint8* codes, qint64 n, double scale)
{
    if (!codes || n < 3)
        return -1;
    // Sums of the codes and their squares are exact integers, so a flat stretch has a variance of
    // exactly 0. The variance in volts is the codes' times scale squared (the offset drops out).
    qint64 sum = 0, squares = 0;
    for (qint64 i = 0; i < n; ++i) {
        sum += codes[i];
        squares += qint64(codes[i]) * codes[i];
    }
    const double scale2 = scale * scale;
    // No stretch of converter codes varies by less than their rounding, a step squared / 12: a
    // stretch of one sample, or a flat one, would otherwise outweigh any onset. Only where a step
    // is 0 V does a variance of 0 remain, read as the smallest positive double.
    const double floor = std::max(scale2 / 12.0, std::numeric_limits<double>::denorm_min());
    auto lnVar = [&](qint64 s1, qint64 s2, qint64 m) {
        const double var = double(m * s2 - s1 * s1) / (double(m) * double(m)) * scale2;
        return std::log(std::max(var, floor));
    };
    qint64 left = codes[0], leftSq = qint64(codes[0]) * codes[0];
    qint64 best = -1;
    double bestAic = std::numeric_limits<double>::infinity();
    for (qint64 k = 1; k <= n - 2; ++k) {
        const double aic = double(k) * lnVar(left, leftSq, k) +
                           double(n - k - 1) * lnVar(sum - left, squares - leftSq, n - k);
        if (aic < bestAic) {
            bestAic = aic;
            best = k;
        }
        left += codes[k];
        leftSq += qint64(codes[k]) * codes[k];
    }
    return best;
}

qint64 aicOnset(const TWaveView& channel, int gainCode, qint64 from, qint64 to)
{
    from = std::max<qint64>(from, 0);
    to = std::min<qint64>(to, channel.count);
    if (to - from < 3)
        return -1;
    std::vector<qint8> codes;
    codes.reserve(std::size_t(to - from));
    for (qint64 i = from; i < to;) {
        const qint8* span = nullptr;
        const int n = channel.chunkAt(int(i), &span);
        if (n <= 0)
            break;
        const qint64 take = std::min<qint64>(n, to - i);
        codes.insert(codes.end(), span, span + take);
        i += take;
    }
    const double scale =
        sampleVolts(1, channel.unipolar, gainCode) - sampleVolts(0, channel.unipolar, gainCode);
    const qint64 k = aicOnset(codes.data(), qint64(codes.size()), scale);
    return k < 0 ? -1 : from + k;
}

std::vector<Pick> pickArrivals(const TWaveStor& record, const std::vector<Hit>& hits,
                               const HitSettings& hitSettings, const LocationSettings& s)
{
    std::vector<Pick> picks;
    picks.reserve(hits.size());
    const double period = record.samplePeriodUs();
    const qint64 before = windowSamples(s.aicWindowUs, period);
    const qint64 after = windowSamples(AicAfterUs, period);
    const qint64 hdt = windowSamples(hitSettings.hdtUs, period);
    std::vector<qint64> previousEnd(MaxChannels, -1); // where each channel's previous hit ended
    for (const Hit& h : hits) {
        Pick p;
        p.hit = h;
        p.sample = h.first;
        const TWaveView* v = record.channel(h.channel);
        const TChannelHeader* head = record.channelHeader(h.channel);
        if (s.pick == PickMethod::Aic && v && head && h.channel >= 0 && h.channel < MaxChannels) {
            const qint64 from =
                std::max({qint64(0), h.first - before, previousEnd[std::size_t(h.channel)] + 1});
            const qint64 k = aicOnset(*v, head->gainCode, from, h.first + after + 1);
            if (k >= 0)
                p.sample = k;
        }
        if (h.channel >= 0 && h.channel < MaxChannels)
            previousEnd[std::size_t(h.channel)] = h.last + hdt;
        p.arrivalUs = double(p.sample) * period;
        picks.push_back(p);
    }
    return picks;
}

// ---- events ----

std::vector<std::vector<int>> groupEvents(const std::vector<Pick>& picks, const LocationSettings& s,
                                          int minHits, int* leftOut)
{
    std::vector<int> order;
    for (int i = 0; i < int(picks.size()); ++i)
        for (const Sensor& a : s.sensors)
            if (a.channel == picks[std::size_t(i)].hit.channel) {
                order.push_back(i);
                break;
            }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return picks[std::size_t(a)].arrivalUs < picks[std::size_t(b)].arrivalUs;
    });
    // A nanosecond per millisecond of window is allowed for the rounding of sample times.
    const double window = eventWindowUs(s) * (1.0 + 1e-9);
    std::vector<char> used(order.size(), 0);
    std::vector<std::vector<int>> events;
    int dropped = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (used[i])
            continue;
        used[i] = 1;
        const Pick& first = picks[std::size_t(order[i])];
        std::vector<int> event{order[i]};
        std::vector<int> channels{first.hit.channel};
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const Pick& p = picks[std::size_t(order[j])];
            if (p.arrivalUs - first.arrivalUs > window)
                break;
            if (used[j] || std::find(channels.begin(), channels.end(), p.hit.channel) != channels.end())
                continue;
            used[j] = 1;
            event.push_back(order[j]);
            channels.push_back(p.hit.channel);
        }
        if (int(event.size()) >= minHits)
            events.push_back(std::move(event));
        else
            ++dropped;
    }
    if (leftOut)
        *leftOut = dropped;
    return events;
}

// ---- linear location ----

double locateOnLine(double x1, double t1, double x2, double t2, double velocityMps, double* residual)
{
    const double gap = x2 - x1;
    const double path = velocityMps * MetresPerMicrosecond * (t1 - t2); // < 0: nearer x1
    if (std::fabs(path) > gap) {
        if (residual)
            *residual = std::fabs(path) - gap;
        return path < 0 ? x1 : x2;
    }
    if (residual)
        *residual = 0.0;
    return (x1 + x2) / 2.0 + path / 2.0;
}

// ---- planar location ----

PlanarLocator::PlanarLocator(const std::vector<Sensor>& sensors, double velocityMps)
    : m_sensors(sensors)
    , m_velocity(velocityMps * MetresPerMicrosecond)
{
    if (m_sensors.empty())
        return;
    double x0 = m_sensors[0].x, x1 = x0, y0 = m_sensors[0].y, y1 = y0;
    for (const Sensor& s : m_sensors) {
        x0 = std::min(x0, s.x);
        x1 = std::max(x1, s.x);
        y0 = std::min(y0, s.y);
        y1 = std::max(y1, s.y);
        m_cx += s.x / double(m_sensors.size());
        m_cy += s.y / double(m_sensors.size());
    }
    // Sensors on a line: the box is as deep as it is long.
    double w = x1 - x0, h = y1 - y0;
    if (w <= 0.0)
        w = h;
    if (h <= 0.0)
        h = w;
    m_left = x0 - w / 2.0;
    m_width = 2.0 * w;
    m_bottom = y0 - h / 2.0;
    m_height = 2.0 * h;

    constexpr int side = GridSteps + 1;
    m_gridDistance.resize(m_sensors.size() * side * side);
    for (std::size_t s = 0; s < m_sensors.size(); ++s)
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                m_gridDistance[(s * side + std::size_t(j)) * side + std::size_t(i)] =
                    distance(m_left + m_width * i / GridSteps, m_bottom + m_height * j / GridSteps,
                             m_sensors[s].x, m_sensors[s].y);
}

double PlanarLocator::misfit(const int* sensor, const double* arrivalUs, int n, double x, double y) const
{
    if (n < 2)
        return 0.0;
    const Sensor& s0 = m_sensors[std::size_t(sensor[0])];
    const double d0 = distance(x, y, s0.x, s0.y);
    double sum = 0.0;
    for (int i = 1; i < n; ++i) {
        const Sensor& si = m_sensors[std::size_t(sensor[i])];
        const double r = distance(x, y, si.x, si.y) - d0 - m_velocity * (arrivalUs[i] - arrivalUs[0]);
        sum += r * r;
    }
    return std::sqrt(sum / double(n - 1));
}

void PlanarLocator::refine(const int* sensor, const double* path, int n, double& x, double& y) const
{
    const double right = m_left + m_width, top = m_bottom + m_height;
    auto clampToBox = [&](double& px, double& py) {
        px = std::clamp(px, m_left, right);
        py = std::clamp(py, m_bottom, top);
    };
    auto squares = [&](double px, double py) {
        const Sensor& s0 = m_sensors[std::size_t(sensor[0])];
        const double d0 = distance(px, py, s0.x, s0.y);
        double sum = 0.0;
        for (int i = 1; i < n; ++i) {
            const Sensor& si = m_sensors[std::size_t(sensor[i])];
            const double r = distance(px, py, si.x, si.y) - d0 - path[i];
            sum += r * r;
        }
        return sum;
    };
    // Levenberg-Marquardt, each step kept inside the box.
    double f = squares(x, y);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < 50 && f > 0.0; ++iteration) {
        double a11 = 0, a12 = 0, a22 = 0, g1 = 0, g2 = 0;
        const Sensor& s0 = m_sensors[std::size_t(sensor[0])];
        const double d0 = distance(x, y, s0.x, s0.y);
        const double u0x = d0 > 0 ? (x - s0.x) / d0 : 0.0, u0y = d0 > 0 ? (y - s0.y) / d0 : 0.0;
        for (int i = 1; i < n; ++i) {
            const Sensor& si = m_sensors[std::size_t(sensor[i])];
            const double di = distance(x, y, si.x, si.y);
            const double jx = (di > 0 ? (x - si.x) / di : 0.0) - u0x;
            const double jy = (di > 0 ? (y - si.y) / di : 0.0) - u0y;
            const double r = di - d0 - path[i];
            a11 += jx * jx;
            a12 += jx * jy;
            a22 += jy * jy;
            g1 += jx * r;
            g2 += jy * r;
        }
        bool moved = false;
        double step = 0.0;
        while (lambda < 1e12) {
            const double b11 = a11 * (1 + lambda) + 1e-15, b22 = a22 * (1 + lambda) + 1e-15;
            const double det = b11 * b22 - a12 * a12;
            double nx = x - (b22 * g1 - a12 * g2) / det;
            double ny = y - (b11 * g2 - a12 * g1) / det;
            clampToBox(nx, ny);
            const double fn = squares(nx, ny);
            if (fn < f) {
                step = std::hypot(nx - x, ny - y);
                x = nx;
                y = ny;
                f = fn;
                lambda = std::max(lambda / 10.0, 1e-12);
                moved = true;
                break;
            }
            lambda *= 10.0;
        }
        if (!moved || step < 1e-9) // a nanometre: far below what is shown
            break;
    }
    // A compass search from 0.1 mm down settles what the steps above left on the box's edge.
    const bool edge = x == m_left || x == right || y == m_bottom || y == top;
    for (double h = 1e-4; edge && h > 1e-7; h /= 2.0) {
        for (bool better = true; better;) {
            better = false;
            for (const auto& [dx, dy] : {std::pair{h, 0.0}, {-h, 0.0}, {0.0, h}, {0.0, -h}}) {
                double nx = x + dx, ny = y + dy;
                clampToBox(nx, ny);
                const double fn = squares(nx, ny);
                if (fn < f) {
                    x = nx;
                    y = ny;
                    f = fn;
                    better = true;
                }
            }
        }
    }
}

void PlanarLocator::locate(const int* sensor, const double* arrivalUs, int n, double& x, double& y,
                           double& residual) const
{
    x = m_cx;
    y = m_cy;
    residual = 0.0;
    if (n < 2 || m_sensors.empty())
        return;
    constexpr int side = GridSteps + 1;
    constexpr int points = side * side;
    std::vector<double> path(std::size_t(n), 0.0);
    for (int i = 1; i < n; ++i)
        path[std::size_t(i)] = m_velocity * (arrivalUs[i] - arrivalUs[0]);

    // The coarse grid from the distances prepared once, inside a border that is never lowest.
    constexpr int padded = side + 2;
    double grid[padded * padded];
    std::fill(grid, grid + padded * padded, std::numeric_limits<double>::infinity());
    const double* d0 = &m_gridDistance[std::size_t(sensor[0]) * points];
    constexpr int MostHits = 8;
    const int terms = std::min(n, MostHits) - 1;
    const double* di[MostHits];
    double pi[MostHits];
    for (int i = 0; i < terms; ++i) {
        di[i] = &m_gridDistance[std::size_t(sensor[i + 1]) * points];
        pi[i] = path[std::size_t(i + 1)];
    }
    for (int j = 0; j < side; ++j)
        for (int k = j * side; k < (j + 1) * side; ++k) {
            double sum = 0.0;
            for (int i = 0; i < terms; ++i) {
                const double r = di[i][k] - d0[k] - pi[i];
                sum += r * r;
            }
            grid[(j + 1) * padded + (k - j * side) + 1] = sum;
        }
    // Its local minima (no neighbour lower), the lowest few refined.
    std::vector<std::pair<double, int>> minima;
    for (int j = 1; j <= side; ++j)
        for (int i = 1; i <= side; ++i) {
            const double* c = grid + j * padded + i;
            const double v = *c;
            if (c[-1] < v || c[1] < v || c[-padded - 1] < v || c[-padded] < v || c[-padded + 1] < v ||
                c[padded - 1] < v || c[padded] < v || c[padded + 1] < v)
                continue;
            minima.push_back({v, (j - 1) * side + (i - 1)});
        }
    std::sort(minima.begin(), minima.end());
    if (minima.size() > std::size_t(Candidates))
        minima.resize(Candidates);
    std::vector<std::pair<double, double>> starts;
    for (const auto& m : minima)
        starts.push_back({m_left + m_width * (m.second % side) / GridSteps,
                          m_bottom + m_height * (m.second / side) / GridSteps});
    // A solution close to a sensor lies in a narrow valley that the grid may step over; the
    // source is nearest the sensor hit first, so that one is a starting point too, a little
    // towards the centre.
    const Sensor& first = m_sensors[std::size_t(sensor[0])];
    starts.push_back({first.x + (m_cx - first.x) * 1e-3, first.y + (m_cy - first.y) * 1e-3});

    bool found = false;
    double bestResidual = 0.0, bestCentre = 0.0;
    for (auto [px, py] : starts) {
        refine(sensor, path.data(), n, px, py);
        const double r = misfit(sensor, arrivalUs, n, px, py);
        const double c = distance(px, py, m_cx, m_cy);
        const bool better = !found || r < bestResidual - SameResidual ||
                            (r < bestResidual + SameResidual && c < bestCentre - SameResidual);
        if (better) {
            found = true;
            x = px;
            y = py;
            bestResidual = r;
            bestCentre = c;
        }
    }
    residual = bestResidual;
}

// ---- everything at once ----

LocationResult locateHits(const TWaveStor& record, const std::vector<Hit>& hits,
                          const HitSettings& hitSettings, const LocationSettings& s)
{
    LocationResult result;
    result.check = checkRecord(s, record);
    if (!result.check)
        return result;
    std::vector<Hit> sensorHits;
    std::vector<int> sensorOf(MaxChannels, -1);
    for (int i = 0; i < int(s.sensors.size()); ++i)
        sensorOf[std::size_t(s.sensors[std::size_t(i)].channel)] = i;
    for (const Hit& h : hits)
        if (h.channel >= 0 && h.channel < MaxChannels && sensorOf[std::size_t(h.channel)] >= 0)
            sensorHits.push_back(h);
    result.picks = pickArrivals(record, sensorHits, hitSettings, s);
    const std::vector<std::vector<int>> groups =
        groupEvents(result.picks, s, s.planar ? 3 : 2, &result.leftOut);

    std::optional<PlanarLocator> plane;
    if (s.planar)
        plane.emplace(s.sensors, s.velocityMps);
    std::vector<int> sensorIndex;
    std::vector<double> arrivals;
    for (const std::vector<int>& g : groups) {
        LocatedEvent e;
        e.picks = g;
        sensorIndex.clear();
        arrivals.clear();
        for (int k : g) {
            const Pick& p = result.picks[std::size_t(k)];
            e.channels.push_back(p.hit.channel);
            e.peakV = std::max(e.peakV, p.hit.peakV);
            sensorIndex.push_back(sensorOf[std::size_t(p.hit.channel)]);
            arrivals.push_back(p.arrivalUs);
        }
        e.timeUs = arrivals[0];
        if (plane) {
            plane->locate(sensorIndex.data(), arrivals.data(), int(g.size()), e.x, e.y, e.residual);
        } else {
            const Sensor& a = s.sensors[std::size_t(sensorIndex[0])];
            const Sensor& b = s.sensors[std::size_t(sensorIndex[1])];
            e.x = a.x < b.x ? locateOnLine(a.x, arrivals[0], b.x, arrivals[1], s.velocityMps, &e.residual)
                            : locateOnLine(b.x, arrivals[1], a.x, arrivals[0], s.velocityMps, &e.residual);
            e.y = std::nan("");
        }
        result.events.push_back(std::move(e));
    }
    return result;
}

LocationResult locateRecord(const TWaveStor& record, const HitSettings& hitSettings,
                            const LocationSettings& s)
{
    const LocationCheck check = checkRecord(s, record);
    if (!check) {
        LocationResult r;
        r.check = check;
        return r;
    }
    return locateHits(record, detectHits(record, hitSettings), hitSettings, s);
}

// ---- as text ----

QString locationCsvHeader()
{
    return QStringLiteral("file,event,time_us,x_m,y_m,residual_m,channels");
}

namespace {

// Metres to 0.1 mm; what rounds to 0 is "0.0000", never "-0.0000".
QString metres(double v)
{
    return QString::number(std::fabs(v) < 0.00005 ? 0.0 : v, 'f', 4);
}

} // namespace

QStringList eventFields(int number, const LocatedEvent& e)
{
    QStringList channels;
    for (int c : e.channels)
        channels << QString::number(c + 1);
    return {QString::number(number),
            QString::number(e.timeUs, 'f', 3),
            metres(e.x),
            std::isfinite(e.y) ? metres(e.y) : QString(),
            metres(e.residual),
            channels.join(QLatin1Char(' '))};
}

void appendLocationCsv(QByteArray& out, const QString& file, const std::vector<LocatedEvent>& events)
{
    const QString quoted = csvField(file);
    for (std::size_t i = 0; i < events.size(); ++i) {
        out +=
            (quoted + QLatin1Char(',') + eventFields(int(i) + 1, events[i]).join(QLatin1Char(','))).toUtf8();
        out += '\n';
    }
}

} // namespace ae
