@echo off
rem KVR516_UPDATE, GPL-3.0-or-later.
rem
rem Lets the KVR-516helix mixer connect to KVR516_UPDATE.exe in this folder
rem through Windows Defender Firewall: an inbound rule that allows TCP port
rem 54000 for this program only, from the local network, on private and domain
rem networks. Run it as administrator (right-click it, "Run as administrator"):
rem
rem   KVR516_UPDATE-firewall.cmd          adds the rule
rem   KVR516_UPDATE-firewall.cmd remove   removes it
rem
rem Adding first removes every inbound rule for this program, among them the
rem blocking ones that Windows makes when its question about the program is
rem answered "Cancel" (a blocking rule wins over an allowing one). The rule
rem names the program by its path: run this again after moving the folder.
setlocal
set "program=%~dp0KVR516_UPDATE.exe"
set "rule=KVR516_UPDATE: KVR-516helix mixer, TCP 54000"
set "netsh=%SystemRoot%\System32\netsh.exe"
set status=0

if /i "%~1"=="remove" goto remove
if not "%~1"=="" goto usage

"%netsh%" advfirewall firewall delete rule name=all dir=in program="%program%" >nul 2>&1
"%netsh%" advfirewall firewall add rule name="%rule%" dir=in action=allow program="%program%" protocol=TCP localport=54000 remoteip=localsubnet profile=private,domain enable=yes
if errorlevel 1 goto failed
echo The mixer may now connect to %program% (TCP port 54000), on a private
echo network: the network the mixer is on must be set to "Private" in Windows.
goto done

:remove
"%netsh%" advfirewall firewall delete rule name="%rule%" dir=in program="%program%"
if errorlevel 1 goto failed
echo The rule for %program% is removed.
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
