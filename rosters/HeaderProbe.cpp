#include "rosters/HeaderProbe.h"

#include "common/core/Transfers.h"

namespace parlux::rosters {

std::vector<HeaderAnswer> ProbeHeaders(const std::vector<std::string>& urls) {
    std::vector<TransferRequest> requests;
    requests.reserve(urls.size());
    for (const std::string& url : urls) {
        TransferRequest request;
        request.url = url;
        request.mode = TransferMode::HeadersOnly;
        requests.push_back(std::move(request));
    }
    const std::vector<TransferResult> results = RunTransfers(requests);
    std::vector<HeaderAnswer> answers(urls.size());
    for (std::size_t k = 0; k < results.size() && k < answers.size(); ++k) {
        // Whatever the status: a 404 page may still say when it was uploaded.
        answers[k].answered = results[k].ok;
        if (results[k].ok) answers[k].lastModified = results[k].header("Last-modified");
    }
    return answers;
}

}  // namespace parlux::rosters
