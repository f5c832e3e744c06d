#include "framework/sound/server_rate.h"

#include <pulse/pulseaudio.h>

#include <string>

namespace fw::sound {
namespace {

struct Query {
  bool done = false;
  std::optional<int> rate;
  std::string sinkName;
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
  auto& query = *static_cast<Query*>(data);
  if (eol != 0) {
    query.done = true;
    return;
  }
  if (info != nullptr) query.rate = static_cast<int>(info->sample_spec.rate);
}

void OnServerInfo(pa_context* context, const pa_server_info* info, void* data) {
  auto& query = *static_cast<Query*>(data);
  if (info == nullptr || info->default_sink_name == nullptr) {
    query.done = true;
    return;
  }
  query.sinkName = info->default_sink_name;
  // The server's own default until the sink says otherwise.
  query.rate = static_cast<int>(info->sample_spec.rate);
  pa_operation* op =
      pa_context_get_sink_info_by_name(context, query.sinkName.c_str(), OnSinkInfo, data);
  if (op == nullptr) {
    query.done = true;
  } else {
    pa_operation_unref(op);
  }
}

}  // namespace

std::optional<int> DefaultSinkRate(std::chrono::milliseconds limit) {
  pa_mainloop* loop = pa_mainloop_new();
  if (loop == nullptr) return std::nullopt;
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "velumbra17");
  Query query;
  bool asked = false;
  if (context != nullptr &&
      pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    // Polled with a deadline: a server that does not answer must not hold the stream up.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!query.done) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      const pa_context_state_t state = pa_context_get_state(context);
      if (!PA_CONTEXT_IS_GOOD(state)) break;
      if (state == PA_CONTEXT_READY && !asked) {
        asked = true;
        pa_operation* op = pa_context_get_server_info(context, OnServerInfo, &query);
        if (op == nullptr) break;
        pa_operation_unref(op);
      }
      if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 ||
          pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0) {
        break;
      }
    }
  }
  if (context != nullptr) {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  if (!query.done) return std::nullopt;
  return query.rate;
}

}  // namespace fw::sound
