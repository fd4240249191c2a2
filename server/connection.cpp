#include "server/connection.h"

namespace server {

void HandleConnection(const ConnectionRecord& record) { platform::CloseSocket(record.clientSocket); }

}  // namespace server
