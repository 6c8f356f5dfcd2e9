// The installed implementation of the engine's questions.
#include "archive/component/user_questions.h"

#include <atomic>

namespace {
std::atomic<IQPUserQuestions*> g_questions{nullptr};
}

void QPSetUserQuestions(IQPUserQuestions* questions) { g_questions = questions; }
IQPUserQuestions* QPUserQuestions() { return g_questions; }
