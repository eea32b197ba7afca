// transaction.h - one backend transaction, rolled back unless committed.
#ifndef KEEL_ENGINE_TRANSACTION_H
#define KEEL_ENGINE_TRANSACTION_H

#include "KeelAPI.h"
#include "sys/KeelBackend.h"

namespace keel {

class Transaction {
 public:
  // Begins a transaction on `backend` (which may be null: status() is then
  // KA_E_STORAGE).
  explicit Transaction(KeelBackend* backend)
      : backend_(backend),
        status_(backend == nullptr ? KA_E_STORAGE
                                   : static_cast<KA_STATUS>(backend->begin(backend))) {}
  ~Transaction() {
    if (status_ == KA_OK && !finished_) backend_->rollback(backend_);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // KA_OK when the transaction is open.
  KA_STATUS status() const { return status_; }

  // Commits: KA_OK, or KA_E_STORAGE with every change undone.
  KA_STATUS Commit() {
    finished_ = true;
    return static_cast<KA_STATUS>(backend_->commit(backend_));
  }

 private:
  KeelBackend* backend_;
  KA_STATUS status_;
  bool finished_ = false;
};

}  // namespace keel

#endif  // KEEL_ENGINE_TRANSACTION_H
