@echo off
rem KVR516_UPDATE, GPL-3.0-or-later.
rem
rem Lets the KVR-516helix mixer connect to KVR516_UPDATE.exe and its console
rem twin KVR516_UPDATE.com in this folder through Windows Defender Firewall:
rem for each, an inbound rule that allows TCP port 54000 for that program
rem only, from the local network, on private and domain networks. Run it as
rem administrator (right-click it, "Run as administrator"):
rem
rem   KVR516_UPDATE-firewall.cmd          adds the rules
rem   KVR516_UPDATE-firewall.cmd remove   removes them
rem
rem Adding first removes every inbound rule for the two programs, among them
rem the blocking ones that Windows makes when its question about a program is
rem answered "Cancel" (a blocking rule wins over an allowing one). The rules
rem name the programs by their paths: run this again after moving the folder.
setlocal
set "rule=KVR516_UPDATE: KVR-516helix mixer, TCP 54000"
set "netsh=%SystemRoot%\System32\netsh.exe"
set status=0

if /i "%~1"=="remove" goto remove
if not "%~1"=="" goto usage

for %%p in (KVR516_UPDATE.exe KVR516_UPDATE.com) do (
    call :allow "%~dp0%%p"
    if errorlevel 1 goto failed
)
echo The mixer may now connect to KVR516_UPDATE.exe and KVR516_UPDATE.com in
echo %~dp0 (TCP port 54000), on a private network: the network the mixer is
echo on must be set to "Private" in Windows.
goto done

:remove
rem A rule that is not there is no failure; both not removed is.
set removed=0
for %%p in (KVR516_UPDATE.exe KVR516_UPDATE.com) do (
    "%netsh%" advfirewall firewall delete rule name="%rule%" dir=in program="%~dp0%%p"
    if not errorlevel 1 set removed=1
)
if %removed%==0 goto failed
echo The rules for the programs in %~dp0 are removed.
goto done

:usage
echo Usage: %~nx0 [remove]
set status=2
goto done

:failed
echo The firewall was not changed. Run this file as administrator: right-click
echo it and choose "Run as administrator".
set status=1

:done
rem Started by a double-click or "Run as administrator": its window stays
rem until a key is pressed, so that the result can be read.
for %%a in (%cmdcmdline%) do if /i "%%~a"=="/c" pause
exit /b %status%

rem Allows TCP 54000 inbound for the program %1 alone, once every inbound rule
rem for it is gone; the errorlevel is the adding's.
:allow
"%netsh%" advfirewall firewall delete rule name=all dir=in program="%~1" >nul 2>&1
"%netsh%" advfirewall firewall add rule name="%rule%" dir=in action=allow program="%~1" protocol=TCP localport=54000 remoteip=localsubnet profile=private,domain enable=yes
exit /b
