// The output used when no sound device can be had at all, and by tests: a thread that pulls one
// chunk per chunk duration of wall time, so that the renderer's clock and queue behave as with a
// real device.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/graph/SoundOutput.h"

namespace {

constexpr int kBytesPerSample = 2; // signed 16-bit

class CNullSoundOutput : public ISoundOutput {
public:
    explicit CNullSoundOutput(int chunkFrames) : m_chunkFrames(chunkFrames > 0 ? chunkFrames : 1) {}
    ~CNullSoundOutput() override { Close(); }

    bool Open(int rate, int channels, PullFn pull) override {
        if (rate <= 0 || channels <= 0 || !pull) {
            return false;
        }
        Close();
        std::lock_guard lock(m_lock);
        m_rate = rate;
        m_buffer.assign(static_cast<std::size_t>(m_chunkFrames) * channels * kBytesPerSample, 0);
        m_pull = std::move(pull);
        m_running = false;
        m_quit = false;
        m_thread = std::thread([this] { Loop(); });
        return true;
    }

    void Start() override {
        std::lock_guard lock(m_lock);
        m_running = true;
        m_changed.notify_all();
    }

    void Pause() override {
        std::unique_lock lock(m_lock);
        m_running = false;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_inPull; });
    }

    void Close() override {
        {
            std::lock_guard lock(m_lock);
            m_quit = true;
            m_changed.notify_all();
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
        std::lock_guard lock(m_lock);
        m_pull = nullptr;
    }

    int LatencyFrames() const override { return 0; }
    int ChunkFrames() const override { return m_chunkFrames; }
    std::string Describe() const override { return "null output"; }

private:
    void Loop() {
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(m_chunkFrames) / m_rate));
        std::unique_lock lock(m_lock);
        Clock::time_point next = Clock::now();
        bool wasRunning = false;
        while (!m_quit) {
            if (!m_running) {
                wasRunning = false;
                m_changed.wait(lock, [this] { return m_running || m_quit; });
                continue;
            }
            if (!wasRunning) {
                next = Clock::now();
                wasRunning = true;
            }
            if (Clock::now() < next) {
                m_changed.wait_until(lock, next, [this] { return !m_running || m_quit; });
                continue;
            }
            m_inPull = true;
            lock.unlock();
            m_pull(m_buffer.data(), m_buffer.size());
            lock.lock();
            m_inPull = false;
            m_changed.notify_all();
            next += period;
        }
    }

    const int m_chunkFrames;
    std::mutex m_lock;
    std::condition_variable m_changed;  // signalled by Start, Pause, Close and the end of a pull
    int m_rate = 0;                     // guarded by m_lock; fixed while the thread runs
    std::vector<std::uint8_t> m_buffer; // the thread's own while it runs
    PullFn m_pull;                      // guarded by m_lock; fixed while the thread runs
    bool m_running = false;             // guarded by m_lock
    bool m_quit = false;                // guarded by m_lock
    bool m_inPull = false;              // guarded by m_lock
    std::thread m_thread;               // controlling thread only
};

} // namespace

std::unique_ptr<ISoundOutput> CreateNullSoundOutput(int chunkFrames) {
    return std::make_unique<CNullSoundOutput>(chunkFrames);
}
