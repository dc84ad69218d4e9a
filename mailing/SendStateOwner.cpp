#include "mailing/SendStateOwner.h"

#include "mailing/PreparedMailing.h"

TSendStateOwner::TSendStateOwner(const TPreparedMailing& mailing, ISendStateListener& listener)
    : mailing_(mailing), listener_(listener) {}

void TSendStateOwner::Set(TSendState state) {
  state_ = state;
  listener_.SendStateChanged(state, Controls());
}

TSendControls TSendStateOwner::Controls() const {
  std::lock_guard<std::mutex> g(lock_);
  return SendControls(state_.load(), static_cast<int>(mailing_.MailList.Items.size()), mailing_.SentCount,
                      mailing_.FailedCount);
}
