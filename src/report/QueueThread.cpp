// The queue-thread templates are compiled here once in full, so that both
// target architectures check every member, not only those a caller uses.
#include "report/QueueThread.h"

#include <string>

namespace qbase {

template class qxThreadBase<CriticalSectionLocker>;
template class qxQueueThreadRun<std::wstring, 4, CriticalSectionLocker>;

}  // namespace qbase
