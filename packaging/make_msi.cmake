# Builds the Windows installer: copies the programs and the licence into a staging folder next
# to OUTPUT, signs the programs, builds the MSI from packaging/halvrenn.wxs with wixl and signs
# the MSI. Run as
#   cmake -DINPUTS=<msi_inputs.cmake> -DOUTPUT=<file.msi> [-DCERTIFICATE=<file.p12>]
#         [-DPASSWORD_FILE=<file>] [-DTIMESTAMP_URL=<url>] [-DPRODUCT_VERSION=<a.b.c>]
#         -P make_msi.cmake
# INPUTS, written by cmake/packaging.cmake, names the tools, the programs, the licence and the
# version; a value given on the command line wins over it. Without CERTIFICATE nothing is signed,
# and it says so.
cmake_minimum_required(VERSION 3.25)

foreach(required INPUTS OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "make_msi.cmake needs -D${required}=...")
  endif()
endforeach()
include(${INPUTS})

# Authenticode signature of one file in place, SHA-256, with a time stamp when a server is given.
function(halvrenn_sign file)
  set(options -pkcs12 ${CERTIFICATE} -h sha256 -n "${SIGNED_DESCRIPTION}")
  if(PASSWORD_FILE)
    list(APPEND options -readpass ${PASSWORD_FILE})
  endif()
  if(TIMESTAMP_URL)
    list(APPEND options -ts ${TIMESTAMP_URL})
  endif()
  execute_process(COMMAND ${OSSLSIGNCODE} sign ${options} -in ${file} -out ${file}.signed
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    file(REMOVE ${file}.signed)
    message(FATAL_ERROR "Signing ${file} failed:\n${output}")
  endif()
  file(RENAME ${file}.signed ${file})
  message(STATUS "Signed ${file}")
endfunction()

if(CERTIFICATE AND NOT OSSLSIGNCODE)
  message(FATAL_ERROR "A signing certificate is given but osslsigncode was not found")
endif()

cmake_path(GET OUTPUT PARENT_PATH output_dir)
cmake_path(GET OUTPUT STEM LAST_ONLY output_stem)
set(stage ${output_dir}/${output_stem}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY_FILE ${ICON} ${stage}/halvrenn.ico)
file(COPY_FILE ${LICENSE} ${stage}/LICENSE.txt)

set(with_cdr no)
file(COPY_FILE ${HALVRENN_EXE} ${stage}/Halvrenn.exe)
set(programs ${stage}/Halvrenn.exe)
if(HALVRENN_CDR_EXE)
  set(with_cdr yes)
  file(COPY_FILE ${HALVRENN_CDR_EXE} ${stage}/halvrenn-cdr.exe)
  list(APPEND programs ${stage}/halvrenn-cdr.exe)
endif()

if(CERTIFICATE)
  foreach(program IN LISTS programs)
    halvrenn_sign(${program})
  endforeach()
endif()

execute_process(
  COMMAND ${WIXL} --arch x64 --output ${OUTPUT}.part
          -D ProductVersion=${PRODUCT_VERSION} -D DisplayVersion=${DISPLAY_VERSION}
          -D Manufacturer=${MANUFACTURER} -D Summary=${SUMMARY}
          -D WithCdr=${with_cdr} ${WXS}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "wixl failed on ${WXS}:\n${output}")
endif()

# The watch service only when its folders are given, and --done only with WATCH_DONE: wixl takes
# no conditions in the source, so they are set on the table it built.
# halvrenn-cdr.exe on the system's PATH, taken off again at removal: wixl has no Environment
# element, so the table and the two standard actions that read it are added to what it built.
# The name's prefix says how: = set at installation, - removed at removal, * for the system; the
# value [~];[INSTALLDIR] appends the folder to what PATH holds.
if(with_cdr)
  find_program(MSIBUILD msibuild REQUIRED)
  execute_process(
    COMMAND ${MSIBUILD} ${OUTPUT}.part
      -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
      -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathToHalvrennCdr', '=-*PATH', '[~];[INSTALLDIR]', 'HalvrennCdrExe')"
      -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
      -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
      -q "UPDATE `InstallExecuteSequence` SET `Condition` = 'VersionNT AND WATCH_INPUT' WHERE `Action` = 'InstallServices' OR `Action` = 'StartServices'"
      -q "UPDATE `InstallExecuteSequence` SET `Condition` = 'WATCH_DONE' WHERE `Action` = 'SetWatchDoneArgument'"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT}.part)
    message(FATAL_ERROR "msibuild could not add the PATH entry and conditions to ${OUTPUT}:\n${output}")
  endif()
endif()

if(CERTIFICATE)
  halvrenn_sign(${OUTPUT}.part)
else()
  message(STATUS "Not signing ${output_stem}.msi and its programs: no certificate given "
                 "(HALVRENN_SIGNING_CERTIFICATE names a PKCS#12 file to sign with)")
endif()
# The MSI appears whole or not at all, so a failed step never leaves one that looks finished.
file(RENAME ${OUTPUT}.part ${OUTPUT})
