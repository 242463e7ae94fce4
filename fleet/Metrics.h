// The screen's figures for Prometheus, in the text exposition format, written
// for the node exporter's textfile collector: the whole file replaced at once
// every 15 s and at exit, so the collector never reads half of it.
#pragma once

#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct MetricsSample {
    // 0 only in the file written as the program ends.
    bool bUp = true;
    bool bConnected = false;
    // Games ended since start, by GameOutcome: won, lost, timeout, abandoned.
    std::array<uint64_t, 4> nGames{};
    uint64_t nLines = 0;
    // Adapter connections after the first, and broker connections after the
    // first (none without MQTT).
    uint64_t nAdapterReconnects = 0;
    std::optional<uint64_t> nBrokerReconnects;
    uint64_t nAudioLosses = 0;
    // Times, not ages: a file a crash leaves behind still tells how long
    // ago they were. The last line is the start before the first one.
    std::chrono::system_clock::time_point tStart;
    std::chrono::system_clock::time_point tLastLine;
    std::chrono::system_clock::time_point tLastFrame;
    int nGamesToday = 0;
    std::optional<int> nBestLevelToday;
    // With opening hours only.
    std::optional<bool> bOpen;
};

std::string RenderMetrics(const MetricsSample& sample);

// Writes a temporary file beside strPath, readable by all (the collector
// runs as another user), and renames it over strPath, or over the file a
// link there names. Only a file or nothing is ever replaced: a device, pipe,
// socket or folder found there, before or after the write, is left alone
// and strError says so. No fsync: the figures are rewritten in 15 s, and a
// slow card must not hold up the caller.
bool ReplaceFile(const std::string& strPath, const std::string& strText, std::string& strError);

class CMetricsWriter : public QObject {
    Q_OBJECT
public:
    static constexpr int PeriodMs = 15000;
    using SampleSource = std::function<MetricsSample()>;

    CMetricsWriter(std::string strPath, SampleSource source, QObject* pParent = nullptr);

    // Writes now and then every PeriodMs.
    void Start();
    // The last file, with quado_up 0.
    void Finish();
    uint64_t Writes() const { return m_nWrites; }

private:
    void Write(bool bUp);

    std::string m_strPath;
    SampleSource m_source;
    QTimer m_timer;
    uint64_t m_nWrites = 0;
    // The last failure said, so a full disk leaves one line, not one per write.
    std::string m_strLastError;
};
