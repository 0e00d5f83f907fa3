<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>单模光纤激光器控制软件</source>
        <translation>Single-mode fibre laser control</translation>
    </message>
    <message>
        <source>Serial Interface Setup</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>COM:</source>
        <translation>COM:</translation>
    </message>
    <message>
        <source>COM1</source>
        <translation>COM1</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Mode Setup</source>
        <translation>Trigger mode</translation>
    </message>
    <message>
        <source>Change Mode</source>
        <translation>Change Mode</translation>
    </message>
    <message>
        <source>内/外触发：</source>
        <translation>Trigger:</translation>
    </message>
    <message>
        <source>内触发</source>
        <translation>Internal</translation>
    </message>
    <message>
        <source>外触发</source>
        <translation>External</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Setpoints</translation>
    </message>
    <message>
        <source>种子源脉宽</source>
        <translation>Pulse</translation>
    </message>
    <message>
        <source>种子源频率</source>
        <translation>Rep. rate</translation>
    </message>
    <message>
        <source>泵源电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>5.00</source>
        <translation>5.00</translation>
    </message>
    <message>
        <source>300</source>
        <translation>300</translation>
    </message>
    <message>
        <source>0.00</source>
        <translation>0.00</translation>
    </message>
    <message>
        <source>ns</source>
        <translation>ns</translation>
    </message>
    <message>
        <source>kHz</source>
        <translation>kHz</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Status Detection</source>
        <translation>Laser status</translation>
    </message>
    <message>
        <source>泵源温度</source>
        <translation>Pump temperature</translation>
    </message>
    <message>
        <source>种子源温度</source>
        <translation>Seed temperature</translation>
    </message>
    <message>
        <source>内外触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>泵电源状态</source>
        <translation>Pump supply</translation>
    </message>
    <message>
        <source>TEC锁定状态</source>
        <translation>TEC lock</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>34</source>
        <translation>34</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>Fault</translation>
    </message>
    <message>
        <source>锁定</source>
        <translation>Locked</translation>
    </message>
    <message>
        <source>未锁定</source>
        <translation>Unlocked</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>℃</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>串口打开成功</source>
        <translation>Serial port opened</translation>
    </message>
    <message>
        <source>串口连接已断开</source>
        <translation>Serial connection lost</translation>
    </message>
    <message>
        <source>串口打开失败</source>
        <translation>Could not open the serial port</translation>
    </message>
    <message>
        <source>定时器关闭成功</source>
        <translation>Display refresh stopped</translation>
    </message>
    <message>
        <source>定时器启动失败</source>
        <translation>Could not start the display refresh</translation>
    </message>
    <message>
        <source>定时器启动成功</source>
        <translation>Display refresh started</translation>
    </message>
    <message>
        <source>串口关闭成功</source>
        <translation>Serial port closed</translation>
    </message>
    <message>
        <source>tec,pw,can&apos;t be zero</source>
        <translation>Pulse width must not be zero</translation>
    </message>
    <message>
        <source>数据写入失败</source>
        <translation>Could not send the command</translation>
    </message>
    <message>
        <source>数据写入成功</source>
        <translation>Command sent</translation>
    </message>
    <message>
        <source>最后一次状态：%1 秒前</source>
        <translation>Last status %1 s ago</translation>
    </message>
    <message>
        <source>打开串口后 %1 秒未收到状态</source>
        <translation>No status in the %1 s since the port opened</translation>
    </message>
    <message>
        <source>未收到激光器状态</source>
        <translation>No status from the laser</translation>
    </message>
    <message>
        <source>激光器状态已恢复</source>
        <translation>Laser status resumed</translation>
    </message>
    <message>
        <source>无数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>Link log</source>
        <translation>Link log</translation>
    </message>
    <message>
        <source>Not recording</source>
        <translation>Not recording</translation>
    </message>
    <message>
        <source>Recording to %1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>Valid frames: %1    Bytes skipped: %2    Commands sent: %3    Link losses: %4    Last valid frame: %5</source>
        <translation>Valid frames: %1    Bytes skipped: %2    Commands sent: %3    Link losses: %4    Last valid frame: %5</translation>
    </message>
    <message>
        <source>%1 ago</source>
        <translation>%1 ago</translation>
    </message>
    <message>
        <source>Trend…</source>
        <translation>Trend…</translation>
    </message>
    <message>
        <source>Link log…</source>
        <translation>Link log…</translation>
    </message>
    <message>
        <source>Right-click here for Trend… (Ctrl+T), Start/Stop recording (Ctrl+R) and Link log… (Ctrl+L)</source>
        <translation>Right-click here for Trend… (Ctrl+T), Start/Stop recording (Ctrl+R) and Link log… (Ctrl+L)</translation>
    </message>
    <message>
        <source>Start recording</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>记录无法开始：%1：%2</source>
        <translation>Could not start recording: %1: %2</translation>
    </message>
    <message>
        <source>记录已开始：%1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>记录已停止</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>记录写入失败：%1，记录已停止</source>
        <translation>Could not write the recording: %1; recording stopped</translation>
    </message>
    <message>
        <source>Stop recording</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>Start recording…</source>
        <translation>Start recording…</translation>
    </message>
    <message>
        <source>文件已被删除</source>
        <translation>the file was removed</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>Trend</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>1 min</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 min</translation>
    </message>
    <message>
        <source>30 min</source>
        <translation>30 min</translation>
    </message>
    <message>
        <source>Whole session</source>
        <translation>Whole session</translation>
    </message>
    <message>
        <source>Keep the newest data in view; panning or zooming pauses this</source>
        <translation>Keep the newest data in view; panning or zooming pauses this</translation>
    </message>
    <message>
        <source>Save image…</source>
        <translation>Save image…</translation>
    </message>
    <message>
        <source>Span:</source>
        <translation>Span:</translation>
    </message>
    <message>
        <source>Pump current (A)</source>
        <translation>Pump current (A)</translation>
    </message>
    <message>
        <source>Pump temperature (°C)</source>
        <translation>Pump temperature (°C)</translation>
    </message>
    <message>
        <source>Local time</source>
        <translation>Local time</translation>
    </message>
    <message>
        <source>Current setpoint (A)</source>
        <translation>Current setpoint (A)</translation>
    </message>
    <message>
        <source>Local time, %1</source>
        <translation>Local time, %1</translation>
    </message>
    <message>
        <source>图像已保存：%1</source>
        <translation>Image saved: %1</translation>
    </message>
    <message>
        <source>图像保存失败：%1</source>
        <translation>Could not save the image: %1</translation>
    </message>
    <message>
        <source>Save image</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>未发送的命令：%1</source>
        <translation>Commands not sent: %1</translation>
    </message>
    <message>
        <source>显示已暂停</source>
        <translation>Display paused</translation>
    </message>
    <message>
        <source>泵浦电源异常</source>
        <translation>pump supply fault</translation>
    </message>
    <message>
        <source>TEC 失锁</source>
        <translation>TEC lock lost</translation>
    </message>
    <message>
        <source>泵浦温度超出标定范围</source>
        <translation>pump temperature outside the calibration</translation>
    </message>
    <message>
        <source>报警：%1</source>
        <translation>Alarm: %1</translation>
    </message>
    <message>
        <source>报警解除：%1</source>
        <translation>Alarm cleared: %1</translation>
    </message>
    <message>
        <source>上次发送：%1</source>
        <translation>Last sent %1</translation>
    </message>
    <message>
        <source>Allow scripts to send commands</source>
        <translation>Allow scripts to send commands</translation>
    </message>
    <message>
        <source>已允许脚本发送命令</source>
        <translation>Scripts may send commands</translation>
    </message>
    <message>
        <source>已禁止脚本发送命令</source>
        <translation>Scripts may no longer send commands</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>没有这个设备</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>不是串口设备</source>
        <translation>not a serial device</translation>
    </message>
    <message>
        <source>没有权限（需要 dialout 组）</source>
        <translation>permission denied (the user needs the dialout group)</translation>
    </message>
    <message>
        <source>已被其他程序占用</source>
        <translation>in use by another program</translation>
    </message>
    <message>
        <source>设备已移除</source>
        <translation>the device was removed</translation>
    </message>
    <message>
        <source>线路已挂断</source>
        <translation>the line hung up</translation>
    </message>
    <message>
        <source>等待重新连接</source>
        <translation>waiting to reconnect</translation>
    </message>
    <message>
        <source>数据写入成功（脚本 %1）</source>
        <translation>Command sent (script %1)</translation>
    </message>
    <message>
        <source>%1，自 %2 起</source>
        <translation>Alarm since %2: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>记录中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>允许脚本</source>
        <translation>Scripts allowed</translation>
    </message>
    <message>
        <source>Events only</source>
        <translation>Events only</translation>
    </message>
    <message>
        <source>Hide the RX and TX lines</source>
        <translation>Hide the RX and TX lines</translation>
    </message>
    <message>
        <source>打开记录</source>
        <translation>Open recording</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>打开记录…</source>
        <translation>Open recording…</translation>
    </message>
    <message>
        <source>导出图像…</source>
        <translation>Export image…</translation>
    </message>
    <message>
        <source>正在打开 %1…</source>
        <translation>Opening %1…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 不是记录文件：%2</source>
        <translation>%1 is not a recording: %2</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>%1 — 跳过 %2 行：第 %3 行</source>
        <translation>%1 — %2 row(s) skipped: line %3</translation>
    </message>
    <message>
        <source>记录 (*.csv *.jsonl *.json *.txt);;所有文件 (*)</source>
        <translation>Recordings (*.csv *.jsonl *.json *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>SVG 矢量图 (*.svg)</source>
        <translation>SVG vector images (*.svg)</translation>
    </message>
    <message>
        <source>PDF 文档 (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>固件范围</source>
        <translation>the firmware&apos;s range</translation>
    </message>
    <message>
        <source>最大泵浦电流 %1 A（%2）
一次命令最多升高 %3 A（%4）</source>
        <translation>Pump current at most %1 A (%2)
Rise in one command at most %3 A (%4)</translation>
    </message>
    <message>
        <source>最小脉宽 %1 ns（%2）
最大脉宽 %3 ns（%4）</source>
        <translation>Pulse width at least %1 ns (%2)
Pulse width at most %3 ns (%4)</translation>
    </message>
    <message>
        <source>最小频率 %1 kHz（%2）
最大频率 %3 kHz（%4）</source>
        <translation>Frequency at least %1 kHz (%2)
Frequency at most %3 kHz (%4)</translation>
    </message>
    <message>
        <source>限值文件无法读取，泵浦电流不能升高：%1</source>
        <translation>A limits file cannot be read; the pump current may not rise: %1</translation>
    </message>
    <message>
        <source>超出限值，未发送：%1</source>
        <translation>Beyond the limits, not sent: %1</translation>
    </message>
    <message>
        <source>泵浦电流 %1 A 将自 %2 A 升高，但限值文件无法读取（%3）</source>
        <translation>current %1 A would rise from %2 A, but a limits file cannot be read (%3)</translation>
    </message>
    <message>
        <source>泵浦电流 %1 A 超出上限 %2 A（%3）</source>
        <translation>current %1 A is beyond the limit %2 A (%3)</translation>
    </message>
    <message>
        <source>脉宽 %1 ns 超出范围 %2–%3 ns（%4）</source>
        <translation>pulse %1 ns is beyond the limits %2 to %3 ns (%4)</translation>
    </message>
    <message>
        <source>频率 %1 kHz 超出范围 %2–%3 kHz（%4）</source>
        <translation>frequency %1 kHz is beyond the limits %2 to %3 kHz (%4)</translation>
    </message>
    <message>
        <source>泵浦电流 %1 A 自 %2 A 升高，超过一次命令允许的 %3 A（%4）</source>
        <translation>current %1 A would rise from %2 A by more than the %3 A one command may (%4)</translation>
    </message>
    <message>
        <source>上次的工作点超出限值，已限制在限值以内</source>
        <translation>The last working point was beyond the limits and is cut to them</translation>
    </message>
</context>
</TS>
