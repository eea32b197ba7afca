// Deployment.h - what a deployment of the library sets for the
// registration service: the host the data goes to, and the AES-128 key and
// initialisation vector the service decrypts it with.
//
// They are build settings (DM_REGISTRATION_HOST, and
// DM_REGISTRATION_SECRETS_FILE for the key and the IV), compiled into
// deployment.cpp alone; the library reads no configuration at run time.  A
// build without a secrets file carries the development key and IV, which no
// real service accepts.
#ifndef DM_REGISTRATION_DEPLOYMENT_H
#define DM_REGISTRATION_DEPLOYMENT_H

#include <cstdint>

#include "platform/Crypto.h"

namespace dm::registration {

// The registration host, UTF-8.
const char* Host();

// The 16 key bytes and the 16 bytes of the initialisation vector.
const uint8_t (&Key())[16];
const uint8_t (&InitialisationVector())[16];

// The key in the form the crypto provider imports it.
AesKeyBlob KeyBlob();

// Whether this build carries the development key and IV.
bool HasDevelopmentSecrets();

}  // namespace dm::registration

#endif  // DM_REGISTRATION_DEPLOYMENT_H
