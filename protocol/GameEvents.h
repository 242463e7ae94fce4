// What the board's lines and the adapter link mean for a game, published in one
// place: a game started, a level shown, a game ended and how, the adapter
// connected or lost. The interpreter and the adapter window feed it; records,
// the idle screen, the kiosk line and the venue's telemetry observe it. It
// changes nothing on the board. Plain C++, UI thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class GameOutcome : uint8_t { Won, Lost, TimedOut, Abandoned };

// What ended a game: the board's line, or the link going away under it.
// Closing: the program ended under the game.
enum class GameEndCause : uint8_t { Congrat, Incorrect, Timeout, Press, New, Disconnect, AdapterLost, Closing };

enum class DisconnectReason : uint8_t {
    User,        // the button, the menu, a remote command
    AdapterLost, // it stopped answering, or its reads failed
    Closing,     // the program ends
};

const char* OutcomeName(GameOutcome nOutcome);   // "won", "lost", "timeout", "abandoned"
const char* EndCauseName(GameEndCause nCause);   // "congrat", "incorrect", ... "adapter_lost", "closing"
const char* DisconnectReasonName(DisconnectReason nReason); // "user", "adapter_lost", "closing"
GameOutcome OutcomeOf(GameEndCause nCause);

// A level as the board sent it, and its number when it is one.
struct GameLevel {
    std::wstring strText;
    std::optional<int> nNumber;

    static GameLevel From(std::wstring_view text);
    bool operator==(const GameLevel&) const = default;
};

// One game from "New" to its end.
struct GameRecord {
    std::chrono::system_clock::time_point tStart;
    std::chrono::system_clock::time_point tEnd;
    GameOutcome nOutcome = GameOutcome::Abandoned;
    GameEndCause nCause = GameEndCause::Press;
    // The highest level shown during the game (by number where the board
    // sends numbers, else the last one); empty text when none was shown.
    GameLevel levelReached;
    // The board's highest level when it has told it.
    std::optional<std::wstring> strMaxLevel;
    std::string strSerial;

    std::chrono::milliseconds Duration() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - tStart);
    }
};

struct GameEvent {
    enum class Kind : uint8_t { GameStarted, LevelShown, GameEnded, Connected, Disconnected, Line };
    Kind nKind = Kind::Line;
    std::chrono::system_clock::time_point tWhen;
    // GameStarted, LevelShown, GameEnded: the game so far (or as it ended).
    GameRecord game;
    // LevelShown: the level just shown.
    GameLevel level;
    // Connected, Disconnected: the adapter's serial.
    std::string strSerial;
    DisconnectReason nReason = DisconnectReason::User;
};

class CGameEvents {
public:
    using Observer = std::function<void(const GameEvent&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    CGameEvents() = default;
    CGameEvents(const CGameEvents&) = delete;
    CGameEvents& operator=(const CGameEvents&) = delete;
    // Lives exactly as long as this stream: a subscription that outlives it
    // has nothing left to end.
    std::weak_ptr<void> Life() const { return m_pLife; }

    // Observers are told in the order they subscribed; the returned id ends
    // the subscription.
    int Subscribe(Observer observer);
    void Unsubscribe(int nId);
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // --- Fed by the interpreter, from its own decisions ---
    // Every complete line, recognised or not.
    void OnLine();
    // "New": starts a game, abandoning one that runs.
    void OnNew();
    void OnLevel(std::wstring_view number);
    void OnMaxLevel(std::wstring_view maxLevel);
    // "Congrat", "Incorrect", "Timeout", "Press": ends a running game.
    void OnEnd(GameEndCause nCause);

    // --- Fed by the adapter window ---
    void OnConnected(const std::string& strSerial);
    // A game in progress ends abandoned, then the link is told.
    void OnDisconnected(DisconnectReason nReason);

    bool IsGameOpen() const { return m_game.has_value(); }
    const std::optional<GameRecord>& OpenGame() const { return m_game; }
    bool IsConnected() const { return m_bConnected; }
    const std::string& Serial() const { return m_strSerial; }
    // Lines seen since start, and when the last one came (unset before any).
    uint64_t LineCount() const { return m_nLines; }
    std::optional<std::chrono::steady_clock::time_point> LastLineTime() const { return m_tLastLine; }

private:
    std::chrono::system_clock::time_point Now() const;
    void Publish(GameEvent&& event);
    void EndGame(GameEndCause nCause);

    Clock m_clock;
    // Id 0 marks one that left while a publish ran, swept out after it.
    std::vector<std::pair<int, Observer>> m_observers;
    // Those that subscribed while a publish ran; they join once it is over.
    std::vector<std::pair<int, Observer>> m_joining;
    int m_nPublishing = 0;
    int m_nNextId = 1;
    std::optional<GameRecord> m_game;
    std::optional<std::wstring> m_strMaxLevel;
    bool m_bConnected = false;
    std::string m_strSerial;
    uint64_t m_nLines = 0;
    std::optional<std::chrono::steady_clock::time_point> m_tLastLine;
    std::shared_ptr<int> m_pLife = std::make_shared<int>(0);
};

// A subscription that ends when its owner goes: declared after whatever its
// observer touches, it stops the telling before those are destroyed. It may
// outlive the stream (an observer that must hear the stream's last words as
// the program closes): its end then does nothing.
class CGameEventSubscription {
public:
    CGameEventSubscription() = default;
    CGameEventSubscription(CGameEvents& events, CGameEvents::Observer observer)
        : m_pEvents(&events), m_life(events.Life()), m_nId(events.Subscribe(std::move(observer)))
    {
    }
    ~CGameEventSubscription() { Reset(); }
    CGameEventSubscription(const CGameEventSubscription&) = delete;
    CGameEventSubscription& operator=(const CGameEventSubscription&) = delete;
    CGameEventSubscription(CGameEventSubscription&& other) noexcept
        : m_pEvents(std::exchange(other.m_pEvents, nullptr)), m_life(std::move(other.m_life)), m_nId(other.m_nId)
    {
    }
    CGameEventSubscription& operator=(CGameEventSubscription&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_pEvents = std::exchange(other.m_pEvents, nullptr);
            m_life = std::move(other.m_life);
            m_nId = other.m_nId;
        }
        return *this;
    }
    void Reset()
    {
        if (m_pEvents && !m_life.expired())
            m_pEvents->Unsubscribe(m_nId);
        m_pEvents = nullptr;
        m_life.reset();
    }

private:
    CGameEvents* m_pEvents = nullptr;
    std::weak_ptr<void> m_life;
    int m_nId = 0;
};
