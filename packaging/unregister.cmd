@echo off
rem Removes what register.cmd registered. Run it as administrator.
call "%~dp0register.cmd" /u
