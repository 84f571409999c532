#include "rosters/HeaderProbe.h"

#include "common/core/Transfers.h"

namespace parlux::rosters {

namespace {

HeaderAnswer AnswerOf(const TransferResult& result) {
    HeaderAnswer answer;
    // Whatever the status: a 404 page may still say when it was uploaded.
    answer.answered = result.ok;
    if (result.ok) answer.lastModified = result.header("Last-modified");
    return answer;
}

}  // namespace

std::vector<HeaderAnswer> ProbeHeaders(const std::vector<std::string>& urls, const AnswerTaken& taken) {
    std::vector<TransferRequest> requests;
    requests.reserve(urls.size());
    for (const std::string& url : urls) {
        TransferRequest request;
        request.url = url;
        request.mode = TransferMode::HeadersOnly;
        requests.push_back(std::move(request));
    }
    TransferDone done;
    if (taken) done = [&taken](std::size_t k, const TransferResult& result) { taken(k, AnswerOf(result)); };
    const std::vector<TransferResult> results = RunTransfers(requests, 0, done);
    std::vector<HeaderAnswer> answers(urls.size());
    for (std::size_t k = 0; k < results.size() && k < answers.size(); ++k) answers[k] = AnswerOf(results[k]);
    return answers;
}

}  // namespace parlux::rosters
