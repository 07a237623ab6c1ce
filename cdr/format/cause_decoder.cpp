// Cause codes: why each side ended a call, as the cause values of ITU-T Recommendation Q.850
// (05/1998) and its amendments, "Usage of cause and location in the Digital Subscriber Signalling
// System No. 1 and the Signalling System No. 7 ISDN User Part", Table 1: the number and the name it
// gives each cause. A call manager writes 0 for the side that did not end the call.

#include <algorithm>
#include <array>
#include <string>

#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {
namespace {

struct Cause {
  unsigned number;
  std::string_view name;
};

// Q.850 Table 1 with the causes its later amendments added (14, 23, 24, 25), in the order of
// their numbers; 0 is the call manager's own.
constexpr std::array<Cause, 72> kCauses = {{
    {0, "No error"},
    {1, "Unallocated (unassigned) number"},
    {2, "No route to specified transit network"},
    {3, "No route to destination"},
    {4, "Send special information tone"},
    {5, "Misdialled trunk prefix"},
    {6, "Channel unacceptable"},
    {7, "Call awarded and being delivered in an established channel"},
    {8, "Preemption"},
    {9, "Preemption - circuit reserved for reuse"},
    {14, "QoR: ported number"},
    {16, "Normal call clearing"},
    {17, "User busy"},
    {18, "No user responding"},
    {19, "No answer from user (user alerted)"},
    {20, "Subscriber absent"},
    {21, "Call rejected"},
    {22, "Number changed"},
    {23, "Redirection to new destination"},
    {24, "Call rejected due to feature at the destination"},
    {25, "Exchange routing error"},
    {26, "Non-selected user clearing"},
    {27, "Destination out of order"},
    {28, "Invalid number format (address incomplete)"},
    {29, "Facility rejected"},
    {30, "Response to STATUS ENQUIRY"},
    {31, "Normal, unspecified"},
    {34, "No circuit/channel available"},
    {38, "Network out of order"},
    {39, "Permanent frame mode connection out of service"},
    {40, "Permanent frame mode connection operational"},
    {41, "Temporary failure"},
    {42, "Switching equipment congestion"},
    {43, "Access information discarded"},
    {44, "Requested circuit/channel not available"},
    {46, "Precedence call blocked"},
    {47, "Resource unavailable, unspecified"},
    {49, "Quality of Service not available"},
    {50, "Requested facility not subscribed"},
    {53, "Outgoing calls barred within CUG"},
    {55, "Incoming calls barred within CUG"},
    {57, "Bearer capability not authorized"},
    {58, "Bearer capability not presently available"},
    {62, "Inconsistency in designated outgoing access information and subscriber class"},
    {63, "Service or option not available, unspecified"},
    {65, "Bearer capability not implemented"},
    {66, "Channel type not implemented"},
    {69, "Requested facility not implemented"},
    {70, "Only restricted digital information bearer capability is available"},
    {79, "Service or option not implemented, unspecified"},
    {81, "Invalid call reference value"},
    {82, "Identified channel does not exist"},
    {83, "A suspended call exists, but this call identity does not"},
    {84, "Call identity in use"},
    {85, "No call suspended"},
    {86, "Call having the requested call identity has been cleared"},
    {87, "User not member of CUG"},
    {88, "Incompatible destination"},
    {90, "Non-existent CUG"},
    {91, "Invalid transit network selection"},
    {95, "Invalid message, unspecified"},
    {96, "Mandatory information element is missing"},
    {97, "Message type non-existent or not implemented"},
    {98, "Message not compatible with call state or message type non-existent or not implemented"},
    {99, "Information element/parameter non-existent or not implemented"},
    {100, "Invalid information element contents"},
    {101, "Message not compatible with call state"},
    {102, "Recovery on timer expiry"},
    {103, "Parameter non-existent or not implemented, passed on"},
    {110, "Message with unrecognized parameter, discarded"},
    {111, "Protocol error, unspecified"},
    {127, "Interworking, unspecified"},
}};

constexpr std::size_t LongestName() {
  std::size_t longest = 0;
  for (const Cause& cause : kCauses) longest = std::max(longest, cause.name.size());
  return longest;
}

static_assert(kinds::kCauseFields[0].longest == LongestName(),
              "the type row's VARCHAR(n) holds the longest name");

const Cause* Find(std::uint64_t number) {
  const auto* found = std::find_if(kCauses.begin(), kCauses.end(),
                                   [number](const Cause& cause) { return cause.number == number; });
  return found == kCauses.end() ? nullptr : found;
}

class CauseDecoder final : public ColumnDecoder {
 public:
  Verdict Judge(const IntegerValue& value) const override {
    if (value.kind == IntegerValue::Kind::kNone) return Verdict::kEmpty;
    if (!value.Integer() || (value.negative && value.number != 0)) return Verdict::kRejected;
    return Find(value.number) != nullptr ? Verdict::kConverted : Verdict::kUnknown;
  }

  void AppendText(std::string& out, std::size_t /*field*/, const IntegerValue& value) override {
    out += Find(value.number)->name;
  }
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeCauseDecoder(unsigned /*variant*/,
                                                const DecoderSettings& /*settings*/) {
  return std::make_unique<CauseDecoder>();
}

}  // namespace halvrenn::cdr
