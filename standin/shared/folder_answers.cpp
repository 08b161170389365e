// The folder browser's queued answers, shared by the stand-in player's command line (or a test)
// that fills the queue and whichever thread browses.

#include "standin/shared/folder_answers.h"

#include <deque>
#include <mutex>

#include "corvina/dialogs.h"

namespace corvina::dialogs {
namespace {

struct answer_queue {
    std::mutex mutex;
    std::deque<std::optional<std::string>> answers;
};

answer_queue& queue() {
    static answer_queue instance;
    return instance;
}

}  // namespace

void queue_folder_answer(const char* folder) {
    std::lock_guard lock(queue().mutex);
    if (folder == nullptr) {
        queue().answers.emplace_back(std::nullopt);
    } else {
        queue().answers.emplace_back(std::string(folder));
    }
}

void clear_folder_answers() {
    std::lock_guard lock(queue().mutex);
    queue().answers.clear();
}

std::optional<std::optional<std::string>> take_folder_answer() {
    std::lock_guard lock(queue().mutex);
    if (queue().answers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(queue().answers.front());
    queue().answers.pop_front();
    return answer;
}

}  // namespace corvina::dialogs
