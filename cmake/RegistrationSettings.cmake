# The registration service a deployment sends its users' registration data
# to: the host, and the AES-128 key and initialisation vector the service
# decrypts the data with.  They are compiled into one file of DataManager.
#
#   -DDM_REGISTRATION_HOST=<host>              plain HTTP on port 80
#   -DDM_REGISTRATION_SECRETS_FILE=<file>      two lines, never committed:
#        key=<32 hexadecimal digits>
#        iv=<16 printable ASCII characters, no quote, backslash or semicolon>
#
# Without a secrets file the build carries a DEVELOPMENT key and IV, which
# no real service accepts; configuring says so.

set(DM_REGISTRATION_HOST "localhost" CACHE STRING
    "Host of the registration service (plain HTTP, port 80); the default is for development")
set(DM_REGISTRATION_SECRETS_FILE "" CACHE FILEPATH
    "File with the registration key (key=<32 hex digits>) and IV (iv=<16 characters>)")

# The development secrets: recognisable, and useless to a real service.
set(_dm_key_hex "646576656c6f706d656e742d6b657921")  # "development-key!"
set(_dm_iv "DEVELOPMENT-ONLY")
set(_dm_development 1)

if(DM_REGISTRATION_SECRETS_FILE)
  if(NOT EXISTS "${DM_REGISTRATION_SECRETS_FILE}")
    message(FATAL_ERROR "DM_REGISTRATION_SECRETS_FILE: no file ${DM_REGISTRATION_SECRETS_FILE}")
  endif()
  file(STRINGS "${DM_REGISTRATION_SECRETS_FILE}" _dm_lines)
  unset(_dm_key_hex)
  unset(_dm_iv)
  foreach(_dm_line IN LISTS _dm_lines)
    if(_dm_line MATCHES "^key=([0-9A-Fa-f]+)$")
      set(_dm_key_hex "${CMAKE_MATCH_1}")
    elseif(_dm_line MATCHES "^iv=(.*)$")
      set(_dm_iv "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(_dm_development 0)
endif()

string(LENGTH "${_dm_key_hex}" _dm_key_length)
if(NOT _dm_key_length EQUAL 32 OR NOT _dm_key_hex MATCHES "^[0-9A-Fa-f]+$")
  message(FATAL_ERROR "the registration key must be 32 hexadecimal digits")
endif()
string(LENGTH "${_dm_iv}" _dm_iv_length)
string(FIND "${_dm_iv}" "\"" _dm_quote)
string(FIND "${_dm_iv}" "\\" _dm_backslash)
string(FIND "${_dm_iv}" ";" _dm_semicolon)
if(NOT _dm_iv_length EQUAL 16 OR NOT _dm_iv MATCHES "^[ -~]+$" OR
   NOT _dm_quote EQUAL -1 OR NOT _dm_backslash EQUAL -1 OR NOT _dm_semicolon EQUAL -1)
  message(FATAL_ERROR
    "the registration IV must be 16 printable ASCII characters without a quote, backslash or semicolon")
endif()

# "0x64,0x65,..." for the key's byte array.
string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1," _dm_key_bytes "${_dm_key_hex}")
string(REGEX REPLACE ",$" "" _dm_key_bytes "${_dm_key_bytes}")

if(_dm_development)
  message(STATUS "Registration: DEVELOPMENT key and IV (set DM_REGISTRATION_SECRETS_FILE for a deployment)")
endif()

# dm_registration_settings(<source file>): compiles the settings into that
# file alone.
function(dm_registration_settings source)
  set_source_files_properties(${source} PROPERTIES COMPILE_DEFINITIONS
    "DM_REGISTRATION_HOST=\"${DM_REGISTRATION_HOST}\";DM_REGISTRATION_KEY=${_dm_key_bytes};DM_REGISTRATION_IV=\"${_dm_iv}\";DM_REGISTRATION_DEVELOPMENT=${_dm_development}")
endfunction()
