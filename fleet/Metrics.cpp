#include "fleet/Metrics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "protocol/WriteTarget.h"

namespace {

void Family(std::string& str, const char* pszName, const char* pszType, const char* pszHelp)
{
    str += std::string("# HELP ") + pszName + " " + pszHelp + "\n";
    str += std::string("# TYPE ") + pszName + " " + pszType + "\n";
}

void Sample(std::string& str, const char* pszName, const std::string& strValue, const char* pszLabels = nullptr)
{
    str += pszName;
    if (pszLabels)
        str += std::string("{") + pszLabels + "}";
    str += " " + strValue + "\n";
}

// Unix seconds to the millisecond, with a '.' whatever the locale says (the
// toolkit sets the process's locale from the environment).
std::string UnixSeconds(std::chrono::system_clock::time_point when)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    char szNumber[64];
    const auto result = std::to_chars(szNumber, szNumber + sizeof szNumber, static_cast<double>(ms) / 1000.0,
                                      std::chars_format::fixed, 3);
    return result.ec == std::errc() ? std::string(szNumber, result.ptr) : std::string("0");
}

// The path a chain of symbolic links at strPath ends in, which need not
// exist yet; false for a loop.
bool FollowLinks(const std::string& strPath, std::string& strTarget)
{
    std::filesystem::path path(strPath);
    for (int nHops = 0; nHops < 40; ++nHops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) {
            strTarget = path.string();
            return true;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error)
            return false;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return false;
}

} // namespace

std::string RenderMetrics(const MetricsSample& m)
{
    std::string str;
    Family(str, "quado_up", "gauge", "1 while Quado runs, 0 once it has ended cleanly.");
    Sample(str, "quado_up", m.bUp ? "1" : "0");
    Family(str, "quado_connected", "gauge", "1 while the board's adapter is connected.");
    Sample(str, "quado_connected", m.bConnected ? "1" : "0");
    Family(str, "quado_games_total", "counter", "Games ended since start, by outcome.");
    static const char* const Outcomes[] = {"outcome=\"won\"", "outcome=\"lost\"", "outcome=\"timeout\"",
                                           "outcome=\"abandoned\""};
    for (size_t i = 0; i < m.nGames.size(); ++i)
        Sample(str, "quado_games_total", std::to_string(m.nGames[i]), Outcomes[i]);
    Family(str, "quado_lines_received_total", "counter", "Lines received from the board since start.");
    Sample(str, "quado_lines_received_total", std::to_string(m.nLines));
    Family(str, "quado_reconnects_total", "counter",
           "Connections after the first since start: of the adapter, and of the MQTT broker.");
    Sample(str, "quado_reconnects_total", std::to_string(m.nAdapterReconnects), "link=\"adapter\"");
    if (m.nBrokerReconnects)
        Sample(str, "quado_reconnects_total", std::to_string(*m.nBrokerReconnects), "link=\"broker\"");
    Family(str, "quado_audio_device_losses_total", "counter", "Times the audio device went away since start.");
    Sample(str, "quado_audio_device_losses_total", std::to_string(m.nAudioLosses));
    Family(str, "quado_start_time_seconds", "gauge", "When Quado started, in seconds since the Unix epoch.");
    Sample(str, "quado_start_time_seconds", UnixSeconds(m.tStart));
    Family(str, "quado_last_line_timestamp_seconds", "gauge",
           "When the board last sent a line (when Quado started before the first), in seconds since the Unix epoch.");
    Sample(str, "quado_last_line_timestamp_seconds", UnixSeconds(m.tLastLine));
    Family(str, "quado_last_frame_timestamp_seconds", "gauge",
           "When the board view was last painted, in seconds since the Unix epoch.");
    Sample(str, "quado_last_frame_timestamp_seconds", UnixSeconds(m.tLastFrame));
    Family(str, "quado_games_today", "gauge", "Games ended on the local day so far (a game counts on the day it ended).");
    Sample(str, "quado_games_today", std::to_string(m.nGamesToday));
    Family(str, "quado_best_level_today", "gauge", "Highest level a game ended at today (0 before one did).");
    Sample(str, "quado_best_level_today", std::to_string(m.nBestLevelToday.value_or(0)));
    if (m.bOpen) {
        Family(str, "quado_open", "gauge", "1 while the venue's opening hours say open.");
        Sample(str, "quado_open", *m.bOpen ? "1" : "0");
    }
    return str;
}

bool ReplaceFile(const std::string& strPath, const std::string& strText, std::string& strError)
{
    // A link is followed to the file it names: a rename over the link itself
    // would cut the collector's path off from that file.
    std::string strTarget;
    if (!FollowLinks(strPath, strTarget)) {
        strError = "cannot write " + strPath + ": its symbolic links lead round in a circle";
        return false;
    }
    // Only a file of Quado's own is ever replaced: the path may have been
    // taken by a device or a pipe since the last write (/dev/null as root).
    if (!MayReplace(strTarget, strError))
        return false;
    // Beside the target, so the rename stays on one file system; the
    // collector reads only *.prom, never this name.
    const size_t nSlash = strTarget.rfind('/');
    std::string strTemp = strTarget.substr(0, nSlash == std::string::npos ? 0 : nSlash + 1) + "." +
                          strTarget.substr(nSlash == std::string::npos ? 0 : nSlash + 1) + ".XXXXXX";
    std::vector<char> vecTemplate(strTemp.begin(), strTemp.end());
    vecTemplate.push_back('\0');
    const int nFd = mkstemp(vecTemplate.data());
    if (nFd < 0) {
        strError = std::string("cannot write beside ") + strPath + ": " + std::strerror(errno);
        return false;
    }
    strTemp = vecTemplate.data();
    bool bOk = fchmod(nFd, 0644) == 0;
    for (size_t nDone = 0; bOk && nDone < strText.size();) {
        const ssize_t n = write(nFd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        bOk = n > 0;
        nDone += bOk ? static_cast<size_t>(n) : 0;
    }
    const int nWriteErrno = errno;
    bOk = close(nFd) == 0 && bOk;
    if (!bOk) {
        strError = std::string("cannot write ") + strPath + ": " + std::strerror(nWriteErrno);
        unlink(strTemp.c_str());
        return false;
    }
    // Looked at again as late as can be: the write took a while.
    if (!MayReplace(strTarget, strError)) {
        unlink(strTemp.c_str());
        return false;
    }
    if (std::rename(strTemp.c_str(), strTarget.c_str()) == 0)
        return true;
    strError = std::string("cannot write ") + strPath + ": " + std::strerror(errno);
    unlink(strTemp.c_str());
    return false;
}

CMetricsWriter::CMetricsWriter(std::string strPath, SampleSource source, QObject* pParent)
    : QObject(pParent)
    , m_strPath(std::move(strPath))
    , m_source(std::move(source))
{
    m_timer.setInterval(PeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Write(true); });
}

void CMetricsWriter::Start()
{
    Write(true);
    m_timer.start();
}

void CMetricsWriter::Finish()
{
    m_timer.stop();
    Write(false);
}

void CMetricsWriter::Write(bool bUp)
{
    MetricsSample sample = m_source();
    sample.bUp = bUp;
    std::string strError;
    if (ReplaceFile(m_strPath, RenderMetrics(sample), strError)) {
        ++m_nWrites;
        if (!m_strLastError.empty())
            std::fprintf(stderr, "Quado: metrics: writing %s again\n", m_strPath.c_str());
        m_strLastError.clear();
    } else if (strError != m_strLastError) {
        std::fprintf(stderr, "Quado: metrics: %s\n", strError.c_str());
        m_strLastError = strError;
    }
}
