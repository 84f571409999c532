#pragma once
// The probe of the pingers' web servers: each URL asked with GET for its
// response headers only (the body is never read), all at once.
#include <string>
#include <vector>

#include "rosters/Rosters.h"

namespace parlux::rosters {

// Answers in URL order; a URL that gets no response is answered "not answered".
// Each answer is also told to taken as it comes in.
std::vector<HeaderAnswer> ProbeHeaders(const std::vector<std::string>& urls, const AnswerTaken& taken = {});

}  // namespace parlux::rosters
