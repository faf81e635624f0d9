<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>Chart</name>
    <message>
        <source>Каналы и входы во времени</source>
        <translation>Channels and inputs over time</translation>
    </message>
    <message>
        <source>Колесо мыши меняет показанное время вокруг указателя, перетаскивание листает назад; под графиком значение под указателем.</source>
        <translation>The mouse wheel zooms the time shown around the pointer, dragging scrolls back; below the chart, the value under the pointer.</translation>
    </message>
    <message>
        <source>%1 с · канал 1: %2 % · канал 2: %3 % · входы 1–4: %4</source>
        <translation>%1 s · channel 1: %2 % · channel 2: %3 % · inputs 1–4: %4</translation>
    </message>
    <message>
        <source>с</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Канал 1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>Канал 2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>Входы 1–4</source>
        <translation>Inputs 1–4</translation>
    </message>
    <message>
        <source>Ключ</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>Каналы</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>&amp;Интервал:</source>
        <translation>&amp;Span:</translation>
    </message>
    <message>
        <source>10 с</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>1 мин</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>10 мин</source>
        <translation>10 min</translation>
    </message>
    <message>
        <source>Сколько времени показывает график</source>
        <translation>How much time the chart shows</translation>
    </message>
    <message>
        <source>Сохранить…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>Сохранить показанный интервал как таблицу CSV или рисунок PNG</source>
        <translation>Save the span shown as a CSV table or a PNG picture</translation>
    </message>
    <message>
        <source>Значение под указателем</source>
        <translation>Value under the pointer</translation>
    </message>
    <message>
        <source>Сохранить график</source>
        <translation>Save the chart</translation>
    </message>
    <message>
        <source>Таблица CSV|*.csv|Рисунок PNG|*.png</source>
        <translation>CSV table|*.csv|PNG picture|*.png</translation>
    </message>
    <message>
        <source>Дальше</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Снова показывать новые значения</source>
        <translation>Show new values again</translation>
    </message>
    <message>
        <source>Остановить картину; запись продолжается</source>
        <translation>Stop the picture; recording goes on</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1.</source>
        <translation>Could not save the file %1.</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Lumidra</source>
        <translation>Lumidra</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>Label</source>
        <translation>Label</translation>
    </message>
    <message>
        <source> Off </source>
        <translation> Off </translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>Key status</source>
        <translation>Key status</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>LabelTime</source>
        <translation>LabelTime</translation>
    </message>
    <message>
        <source>Системное время</source>
        <translation>System time</translation>
    </message>
    <message>
        <source>LabelDate</source>
        <translation>LabelDate</translation>
    </message>
    <message>
        <source>Системная дата</source>
        <translation>System date</translation>
    </message>
    <message>
        <source>Ind1</source>
        <translation>Ind1</translation>
    </message>
    <message>
        <source>Управление 1 LED-индикатором.</source>
        <translation>Controls LED indicator 1.</translation>
    </message>
    <message>
        <source>Ind2</source>
        <translation>Ind2</translation>
    </message>
    <message>
        <source>Управление 2 LED-индикатором.</source>
        <translation>Controls LED indicator 2.</translation>
    </message>
    <message>
        <source>Значение LED-дисплея</source>
        <translation>LED display value</translation>
    </message>
    <message>
        <source>0000</source>
        <translation>0000</translation>
    </message>
    <message>
        <source>Введите HEX-число от 0 до FFFF.</source>
        <translation>Enter a hexadecimal number from 0 to FFFF.</translation>
    </message>
    <message>
        <source>Send Caption</source>
        <translation>Send Caption</translation>
    </message>
    <message>
        <source>Вывести значение на LED-дисплей.</source>
        <translation>Show the value on the LED display.</translation>
    </message>
    <message>
        <source>Send Time</source>
        <translation>Send Time</translation>
    </message>
    <message>
        <source>Вывести время на LED-дисплей.</source>
        <translation>Show the time on the LED display.</translation>
    </message>
    <message>
        <source>Send Date</source>
        <translation>Send Date</translation>
    </message>
    <message>
        <source>Вывести дату на LED-дисплей.</source>
        <translation>Show the date on the LED display.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Label - Статус устройства</source>
        <translation>Label - device status</translation>
    </message>
    <message>
        <source>Label2</source>
        <translation>Label2</translation>
    </message>
    <message>
        <source>Send Image</source>
        <translation>Send Image</translation>
    </message>
    <message>
        <source>Read Dump</source>
        <translation>Read Dump</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Memo1</source>
        <translation>Memo1</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>Картинка LCD</source>
        <translation>LCD picture</translation>
    </message>
    <message>
        <source>Изображение для ЖКИ</source>
        <translation>Picture for the LCD</translation>
    </message>
    <message>
        <source>ContrastLabel</source>
        <translation>ContrastLabel</translation>
    </message>
    <message>
        <source>Команда:</source>
        <translation>Command:</translation>
    </message>
    <message>
        <source>Текст:</source>
        <translation>Text:</translation>
    </message>
    <message>
        <source>Подсветка</source>
        <translation>Backlight</translation>
    </message>
    <message>
        <source>EditCmd</source>
        <translation>EditCmd</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>EditTxt</source>
        <translation>EditTxt</translation>
    </message>
    <message>
        <source>Send 1x</source>
        <translation>Send 1x</translation>
    </message>
    <message>
        <source>Send 1,5x</source>
        <translation>Send 1,5x</translation>
    </message>
    <message>
        <source>Перенос</source>
        <translation>Wrap</translation>
    </message>
    <message>
        <source>База ключей</source>
        <translation>Key base</translation>
    </message>
    <message>
        <source>Дополнительно</source>
        <translation>More</translation>
    </message>
    <message>
        <source>Преобразования</source>
        <translation>Conversions</translation>
    </message>
    <message>
        <source>Flash-ROM</source>
        <translation>Flash-ROM</translation>
    </message>
    <message>
        <source>Read DUMP</source>
        <translation>Read DUMP</translation>
    </message>
    <message>
        <source>Random</source>
        <translation>Random</translation>
    </message>
    <message>
        <source>Заставка</source>
        <translation>Splash</translation>
    </message>
    <message>
        <source>Шрифт 5x7</source>
        <translation>Font 5x7</translation>
    </message>
    <message>
        <source>Картинка 12 бит</source>
        <translation>Picture 12 bit</translation>
    </message>
    <message>
        <source>Файл заставки</source>
        <translation>Splash file</translation>
    </message>
    <message>
        <source>Чтение</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Стирание</source>
        <translation>Erase</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Загрузить</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>Form2</source>
        <translation>Form2</translation>
    </message>
    <message>
        <source>Запись точек</source>
        <translation>Point record</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Дальше</source>
        <translation>Resume</translation>
    </message>
</context>
<context>
    <name>app</name>
    <message>
        <source>Lumidra (демо)</source>
        <translation>Lumidra (demo)</translation>
    </message>
    <message>
        <source>Невозможно запустить программу!  </source>
        <translation>The program cannot start!  </translation>
    </message>
    <message>
        <source>Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   </source>
        <translation>A program using the TAVIK Lumidra board is already running!   </translation>
    </message>
    <message>
        <source>Устройство отключено.</source>
        <translation>Device detached.</translation>
    </message>
    <message>
        <source>Устройство подключено:</source>
        <translation>Device attached:</translation>
    </message>
    <message>
        <source>Изменения в базе ключей будут потеряны! Всё равно выйти?  </source>
        <translation>The changes to the key base will be lost! Quit anyway?  </translation>
    </message>
    <message>
        <source>параметру &apos;%1&apos; нужно значение</source>
        <translation>option &apos;%1&apos; needs a value</translation>
    </message>
    <message>
        <source>--lang: ru или en, не &apos;%1&apos;</source>
        <translation>--lang: ru or en, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>неизвестный параметр &apos;%1&apos;</source>
        <translation>unrecognised option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>лишний аргумент &apos;%1&apos;</source>
        <translation>unexpected argument &apos;%1&apos;</translation>
    </message>
    <message>
        <source>не удаётся записать файл трассировки &apos;%1&apos;</source>
        <translation>cannot write the trace file &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Использование: lumidra [ПАРАМЕТР]...
Программа для демонстрационной платы USB C04E:2014.

  --all-panels  показать все панели и меню окна, расположив их так, чтобы
                все поместились
  --chart       открыть график каналов и входов во времени
  --demo        работать со встроенной моделью платы, без платы
                (включает --all-panels и --chart)
  --trace ФАЙЛ  записывать в ФАЙЛ каждый отчёт платы и к плате, по строке:
                время в микросекундах, направление, 64 байта в hex; ФАЙЛ
                на .pcapng получает запись, которую открывает Wireshark;
                можно повторить
  --lang ru|en  показывать окно на русском или английском, а не на языке
                системы
  --help        вывести эту справку и выйти
  --version     вывести версию и выйти
</source>
        <translation>Usage: lumidra [OPTION]...
The desktop program of the USB demonstration board C04E:2014.

  --all-panels  show every panel and menu of the window, laid out to fit
  --chart       open the chart of the channels and inputs over time
  --demo        run against a built-in model of the board, no board needed
                (implies --all-panels and --chart)
  --trace FILE  write every report to and from the board to FILE, one line
                each: time in microseconds, direction, 64 bytes in hex; a FILE
                ending in .pcapng gets a capture that Wireshark opens; may be repeated
  --lang ru|en  show the window in Russian or English, not the system&apos;s language
  --help        print this help and exit
  --version     print the version and exit
</translation>
    </message>
    <message>
        <source>Неизвестная ошибка</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>--trace: нужен файл, не &apos;%1&apos;</source>
        <translation>--trace: a file is needed, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Трассировка в &apos;%1&apos; остановлена: её читатель закрылся. Остальное работает как прежде.</source>
        <translation>The trace into &apos;%1&apos; is stopped: its reader went away. Everything else goes on as before.</translation>
    </message>
    <message>
        <source>Трассировка в &apos;%1&apos; остановлена: %2. Остальное работает как прежде.</source>
        <translation>The trace into &apos;%1&apos; is stopped: %2. Everything else goes on as before.</translation>
    </message>
</context>
<context>
    <name>cli</name>
    <message>
        <source>«%1»: %2</source>
        <translation>&apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>%1: больше %2 байт, а рисунок не больше этого</source>
        <translation>%1: more than %2 bytes; a picture is at most that</translation>
    </message>
    <message>
        <source>%1: %2 x %3 точек; рисунки ЖКИ — 96 x 68</source>
        <translation>%1: %2 x %3 pixels; the LCD&apos;s pictures are 96 x 68</translation>
    </message>
    <message>
        <source>неизвестная команда «%1»</source>
        <translation>unknown command &apos;%1&apos;</translation>
    </message>
    <message>
        <source>у «%1» нет параметра «%2»</source>
        <translation>&apos;%1&apos; has no option &apos;%2&apos;</translation>
    </message>
    <message>
        <source>параметру «%1» нужно значение</source>
        <translation>option &apos;%1&apos; needs a value</translation>
    </message>
    <message>
        <source>%1: %2, не «%3»</source>
        <translation>%1: %2, not &apos;%3&apos;</translation>
    </message>
    <message>
        <source>платы с этим опознанием и видимые, но недоступные платы, с причиной</source>
        <translation>the boards of the identity, and boards seen but not usable, with why</translation>
    </message>
    <message>
        <source>состояние платы: каналы в %, входы, состояние ключа, код ключа</source>
        <translation>decoded status: channels in %, inputs, key status, key id</translation>
    </message>
    <message>
        <source>по строке на каждый приложенный ключ; --base добавляет новые ключи в FILE</source>
        <translation>one line per key presented; --base adds new keys to FILE</translation>
    </message>
    <message>
        <source>светодиодный индикатор: до 4 шестнадцатеричных цифр, время или дата</source>
        <translation>the LED display: a value of up to 4 hex digits, the time or the date</translation>
    </message>
    <message>
        <source>текст на ЖКИ</source>
        <translation>the LCD text screen</translation>
    </message>
    <message>
        <source>байты команд ЖКИ в шестнадцатеричном виде</source>
        <translation>LCD command bytes in hex</translation>
    </message>
    <message>
        <source>контрастность ЖКИ</source>
        <translation>the LCD contrast</translation>
    </message>
    <message>
        <source>подсветка ЖКИ</source>
        <translation>the LCD backlight</translation>
    </message>
    <message>
        <source>вывод рисунка</source>
        <translation>the picture job</translation>
    </message>
    <message>
        <source>вывод заставки; кончается по Enter или концу ввода, или через N с</source>
        <translation>the splash job; ends on Enter or the end of input, or after N s</translation>
    </message>
    <message>
        <source>блок FLASH в FILE</source>
        <translation>the Flash-ROM block into FILE</translation>
    </message>
    <message>
        <source>стирает FLASH</source>
        <translation>erases the Flash-ROM</translation>
    </message>
    <message>
        <source>первый блок FILE во FLASH; --verify читает его обратно</source>
        <translation>FILE&apos;s first block into the Flash-ROM; --verify reads it back</translation>
    </message>
    <message>
        <source>дамп памяти, 4096 байт; --expect: код 1, если он отличается</source>
        <translation>the 4096-byte memory dump; --expect: exit 1 if it differs</translation>
    </message>
    <message>
        <source>точки графика в FILE (запись или CSV: point, x, y)</source>
        <translation>the plot job&apos;s points into FILE (the record, or CSV: point, x, y)</translation>
    </message>
    <message>
        <source>таблица полосы в 12 строк из рисунка; плата не нужна</source>
        <translation>the 12-row strip table of a picture; no board needed</translation>
    </message>
    <message>
        <source>таблица шрифта 5x7 из рисунка; плата не нужна</source>
        <translation>the 5x7 font table of a picture; no board needed</translation>
    </message>
    <message>
        <source>целое число от 1 до 1000000000</source>
        <translation>a whole number, 1 to 1000000000</translation>
    </message>
    <message>
        <source>целое число секунд от 1 до 86400</source>
        <translation>whole seconds, 1 to 86400</translation>
    </message>
    <message>
        <source>on или off</source>
        <translation>on or off</translation>
    </message>
    <message>
        <source>от 0 до 31</source>
        <translation>0 to 31</translation>
    </message>
    <message>
        <source>от 0 до 255</source>
        <translation>0 to 255</translation>
    </message>
    <message>
        <source>от 1 до 4 шестнадцатеричных цифр</source>
        <translation>1 to 4 hexadecimal digits</translation>
    </message>
    <message>
        <source>1x или 1.5x</source>
        <translation>1x or 1.5x</translation>
    </message>
    <message>
        <source>db или c</source>
        <translation>db or c</translation>
    </message>
    <message>
        <source>key, inN=on|off или chN&gt;P / chN&lt;P (N от 1 до 4 или от 1 до 2)</source>
        <translation>key, inN=on|off or chN&gt;P / chN&lt;P (N 1 to 4 or 1 to 2)</translation>
    </message>
    <message>
        <source>Подробнее: «lumidra-cli --help».</source>
        <translation>Try &apos;lumidra-cli --help&apos;.</translation>
    </message>
    <message>
        <source>Подробнее: «lumidra-cli %1 --help».</source>
        <translation>Try &apos;lumidra-cli %1 --help&apos;.</translation>
    </message>
    <message>
        <source>Запуск: lumidra-cli [ПАРАМЕТР]... %1</source>
        <translation>Usage: lumidra-cli [OPTION]... %1</translation>
    </message>
    <message>
        <source>Также: --led HEX, --ind1 on|off, --ind2 on|off, --backlight on|off (постоянное состояние, которое подключение
задаёт заново: LED 0000, индикаторы выключены, подсветка включена).
</source>
        <translation>Also: --led HEX, --ind1 on|off, --ind2 on|off, --backlight on|off (the standing state the
attach sets afresh: LED 0000, indicators off, backlight on).
</translation>
    </message>
    <message>
        <source>целое число секунд от 1 до 3600</source>
        <translation>whole seconds, 1 to 3600</translation>
    </message>
    <message>
        <source>неизвестный параметр «%1»</source>
        <translation>unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>«%1» не принимает ещё аргумент «%2»</source>
        <translation>&apos;%1&apos; takes no further argument &apos;%2&apos;</translation>
    </message>
    <message>
        <source>команда не указана</source>
        <translation>no command given</translation>
    </message>
    <message>
        <source>неполная команда «%1»</source>
        <translation>incomplete command &apos;%1&apos;</translation>
    </message>
    <message>
        <source>«%1» требует %2</source>
        <translation>&apos;%1&apos; needs %2</translation>
    </message>
    <message>
        <source>led: укажите одно из HEX, --time или --date</source>
        <translation>led: give one of HEX, --time or --date</translation>
    </message>
    <message>
        <source>plot: нужен --out FILE</source>
        <translation>plot: --out FILE is needed</translation>
    </message>
    <message>
        <source>plot: --reports и --seconds исключают друг друга</source>
        <translation>plot: --reports and --seconds exclude each other</translation>
    </message>
    <message>
        <source>команда ЖКИ</source>
        <translation>the LCD command</translation>
    </message>
    <message>
        <source>текст ЖКИ</source>
        <translation>the LCD text</translation>
    </message>
    <message>
        <source>заставка</source>
        <translation>the splash screen</translation>
    </message>
    <message>
        <source>рисунок</source>
        <translation>the picture</translation>
    </message>
    <message>
        <source>чтение FLASH</source>
        <translation>the Flash-ROM read</translation>
    </message>
    <message>
        <source>стирание FLASH</source>
        <translation>the Flash-ROM erase</translation>
    </message>
    <message>
        <source>запись FLASH</source>
        <translation>the Flash-ROM write</translation>
    </message>
    <message>
        <source>дамп памяти</source>
        <translation>the memory dump</translation>
    </message>
    <message>
        <source>график</source>
        <translation>the plot</translation>
    </message>
    <message>
        <source>плата ничего не присылала %1 с</source>
        <translation>the board sent nothing for %1 s</translation>
    </message>
    <message>
        <source>нет платы по адресу %1 (подробнее — «lumidra-cli list»)</source>
        <translation>no board at %1 (&apos;lumidra-cli list&apos; tells more)</translation>
    </message>
    <message>
        <source>плата отключена</source>
        <translation>the board went away</translation>
    </message>
    <message>
        <source>нет платы: нет ничего с кодом производителя C04E, кодом изделия 2014 и серийным номером 01.01</source>
        <translation>no board: nothing with vendor ID C04E, product ID 2014 and serial 01.01</translation>
    </message>
    <message>
        <source>%1: этому пользователю нельзя её читать и писать; установите правило udev (70-lumidra.rules, см. «man lumidra») или попросите группу plugdev</source>
        <translation>%1: this user may not read and write it; install the udev rule (70-lumidra.rules, see &apos;man lumidra&apos;) or ask for group plugdev</translation>
    </message>
    <message>
        <source>--until %1: не выполнилось за %2 с</source>
        <translation>--until %1: did not hold within %2 s</translation>
    </message>
    <message>
        <source>заставка показана на %1 с</source>
        <translation>the splash screen is shown for %1 s</translation>
    </message>
    <message>
        <source>заставка показана; Enter убирает её</source>
        <translation>the splash screen is shown; press Enter to end it</translation>
    </message>
    <message>
        <source>--verify: во FLASH не те байты, что первые 64 байта «%1»</source>
        <translation>--verify: the Flash-ROM holds other bytes than the first 64 of &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--verify: во FLASH то, что записано</source>
        <translation>--verify: the Flash-ROM holds what was written</translation>
    </message>
    <message>
        <source>--expect: дамп отличается от «%1»</source>
        <translation>--expect: the dump differs from &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: прервано — %2</source>
        <translation>%1: %2 was cut</translation>
    </message>
    <message>
        <source>прервано</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>терминал закрыт</source>
        <translation>hung up</translation>
    </message>
    <message>
        <source>завершено</source>
        <translation>terminated</translation>
    </message>
    <message>
        <source>--trace: не удаётся записать «%1»</source>
        <translation>--trace: cannot write &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Запуск: lumidra-cli [--demo] [--device PATH] [--timeout S] [--trace FILE] [--quiet] [--stay]
                   [--lang ru|en] КОМАНДА ...
Все задания демонстрационной платы USB C04E:2014 из командной строки, байт в байт как их выполняет окно.

Параметры:
  --demo          работать со встроенной моделью платы (без платы, без блокировки)
  --device PATH   плата по этому адресу (как его показывает list), а не первая
  --timeout S     плата, молчащая столько секунд посреди задания, прерывает его (по умолчанию 5)
  --trace FILE    все отчёты в обе стороны в FILE: время в микросекундах, направление, 64 байта;
                  FILE с окончанием .pcapng получает запись, которую открывает Wireshark; можно повторять
  --quiet         на стандартный поток ошибок только ошибки
  --stay          уйти, не сказав плате (без закрывающего отчёта)
  --lang ru|en    сообщения по-русски или по-английски, а не на языке системы
  --help          эта справка; КОМАНДА --help: справка команды
  --version       версия
--параметр=значение равно «--параметр значение»; после -- всё — аргументы.

Команды:
</source>
        <translation>Usage: lumidra-cli [--demo] [--device PATH] [--timeout S] [--trace FILE] [--quiet] [--stay]
                   [--lang ru|en] COMMAND ...
Every job of the USB demonstration board C04E:2014 from a command line, byte for byte as the window does it.

Options:
  --demo          run against the built-in model of the board (no board, no lock)
  --device PATH   use the board at this node (as &apos;list&apos; shows it), not the first one
  --timeout S     a board silent this long mid-job ends the job (default 5)
  --trace FILE    every report both ways into FILE: time in microseconds, direction, 64 bytes;
                  a FILE ending in .pcapng gets a capture that Wireshark opens; may be repeated
  --quiet         only errors on standard error
  --stay          leave without telling the board (no closing report)
  --lang ru|en    the messages in Russian or English, not the system&apos;s language
  --help          this help; COMMAND --help: the command&apos;s
  --version       the version
--option=value is &apos;--option value&apos;; after -- everything is an operand.

Commands:
</translation>
    </message>
    <message>
        <source>значение не принимается</source>
        <translation>takes no value</translation>
    </message>
    <message>
        <source>от 1 до 64 байт парами шестнадцатеричных цифр, через пробел</source>
        <translation>1 to 64 bytes as pairs of hexadecimal digits, parted by blanks</translation>
    </message>
    <message>
        <source>адрес платы, как его показывает list</source>
        <translation>a board&apos;s node, as list shows it</translation>
    </message>
    <message>
        <source>Запуск: lumidra-cli [ПАРАМЕТР]... %1 ...</source>
        <translation>Usage: lumidra-cli [OPTION]... %1 ...</translation>
    </message>
    <message>
        <source>Команды:</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>Справка команды: «lumidra-cli %1 КОМАНДА --help».
</source>
        <translation>A command&apos;s help: &apos;lumidra-cli %1 COMMAND --help&apos;.
</translation>
    </message>
    <message>
        <source>параметр «%1» задан дважды</source>
        <translation>option &apos;%1&apos; is given twice</translation>
    </message>
    <message>
        <source>«%1» сам задаёт то, что задаёт %2: укажите одно из них</source>
        <translation>&apos;%1&apos; sets what %2 sets: give one of them</translation>
    </message>
    <message>
        <source>--demo и --device исключают друг друга</source>
        <translation>--demo and --device exclude each other</translation>
    </message>
    <message>
        <source>нет платы: нет ничего с кодом производителя C04E, кодом изделия 2014 и серийным номером 01.01, что этот пользователь может открыть (подробнее — «lumidra-cli list»)</source>
        <translation>no board: nothing with vendor ID C04E, product ID 2014 and serial 01.01 that this user may open (&apos;lumidra-cli list&apos; tells more)</translation>
    </message>
    <message>
        <source>convert splash: -o «%1»: имя оканчивается на «bin», и файл данных заставки заменил бы таблицу; выберите другое имя, например с расширением .txt</source>
        <translation>convert splash: -o &apos;%1&apos;: the name ends in &apos;bin&apos;, and the splash data file would replace the table; choose another name, such as one ending in .txt</translation>
    </message>
    <message>
        <source>convert splash: таблица в стандартный вывод, файл данных заставки не пишется</source>
        <translation>convert splash: the table goes to standard output; no splash data file is written</translation>
    </message>
    <message>
        <source>convert splash: данные заставки записаны в «%1»</source>
        <translation>convert splash: the splash data written to &apos;%1&apos;</translation>
    </message>
    <message>
        <source>lcd text: нет в кодовой странице 1251, отправлено как «?»: %1</source>
        <translation>lcd text: not in code page 1251, sent as &apos;?&apos;: %1</translation>
    </message>
    <message>
        <source>lcd text: не поместилось на экран (8 строк по 16 знаков), не отправлено: «%1»</source>
        <translation>lcd text: past the screen (8 lines of 16 characters), not sent: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: не открывается; установите правило udev (70-lumidra.rules, см. «man lumidra»)</source>
        <translation>%1: cannot be opened; install the udev rule (70-lumidra.rules, see &apos;man lumidra&apos;)</translation>
    </message>
    <message>
        <source>--until %1: не выполнилось за %2 отчётов</source>
        <translation>--until %1: did not hold in %2 reports</translation>
    </message>
    <message>
        <source>status: --watch и %1 исключают друг друга</source>
        <translation>status: --watch and %1 exclude each other</translation>
    </message>
    <message>
        <source>Без --watch, --count и --until печатается один отчёт; --watch печатает, пока запуск не прервут;
--count N — N отчётов.
COND для --until (запуск кончается с кодом 0 на первом отчёте, где оно выполнено):
  key          ключ приложен
  inN=on|off   вход N (1..4) включён или выключен
  chN&gt;P, chN&lt;P канал N (1 или 2) больше или меньше P %
Не выполнилось за --timeout секунд (или за N отчётов при --count N): код 1.
--json: по объекту JSON на отчёт: ch1, ch2 (значения каналов), ch1_pct, ch2_pct (в %),
in (четыре входа, 0 или 1), key_status, key (код ключа в шестнадцатеричном виде или null).
</source>
        <translation>Without --watch, --count and --until one report is printed; --watch prints until the run is
interrupted; --count N prints N reports.
COND for --until (the run ends with code 0 at the first report where it holds):
  key          a key is presented
  inN=on|off   input N (1..4) is on or off
  chN&gt;P, chN&lt;P channel N (1 or 2) is above or below P %
Not holding within --timeout seconds (or N reports with --count N): code 1.
--json: one JSON object a report: ch1, ch2 (the channels&apos; values), ch1_pct, ch2_pct (in %),
in (the four inputs, 0 or 1), key_status, key (the key&apos;s code in hex, or null).
</translation>
    </message>
    <message>
        <source>таблица заставки из рисунка и её файл данных; плата не нужна</source>
        <translation>the splash table of a picture, and its data file; no board needed</translation>
    </message>
    <message>
        <source>Файл данных заставки (384 байта) получает имя FILE, у которого последние три знака
заменены на «bin»: screen.txt даёт screen.bin, screen — scrbin. FILE, который уже
оканчивается на «bin», отвергается (данные заменили бы таблицу). С -o - или без -o
таблица идёт в стандартный вывод, а файл данных не пишется.
</source>
        <translation>The splash data file (384 bytes) is named FILE with its last three characters replaced
by &apos;bin&apos;: screen.txt gives screen.bin, screen gives scrbin. A FILE that already ends in
&apos;bin&apos; is refused (the data would replace the table). With -o - or without -o the table
goes to standard output and no data file is written.
</translation>
    </message>
    <message>
        <source>файл (стандартный вывод — для команды)</source>
        <translation>a file (standard output is the command&apos;s)</translation>
    </message>
    <message>
        <source>файл базы ключей (его читают, потом переписывают)</source>
        <translation>a key base file (read, then rewritten)</translation>
    </message>
    <message>
        <source>имя файла</source>
        <translation>a file&apos;s name</translation>
    </message>
    <message>
        <source>
Каждая команда, которая говорит с платой, принимает также --led HEX, --ind1 on|off, --ind2 on|off и
--backlight on|off. Каждый запуск подключается так же, как окно, и заново задаёт постоянное состояние
платы (LED 0000, индикаторы выключены, подсветка включена): запуск не сохраняет значение LED другого
запуска, поэтому задавайте всё постоянное состояние в каждом запуске.
FILE может быть «-»: стандартный ввод или вывод. Целое изделие (дамп, блок FLASH) попадает в «-», в
устройство или FIFO после конца задания на плате, а файл заменяет только тогда; поток (status, keys,
CSV, запись графика) пишется по мере поступления. До того как плата найдена, ничего не создаётся и не
очищается.

Коды выхода: 0 выполнено; 1 задание не выполнено (файл не читается или не того вида, ошибка
ввода-вывода или записи, плата перестала отвечать или отключена, --verify или --expect нашли отличие,
--until не дождался); 2 неверная командная строка; 3 нет платы; 4 плата занята другой программой
Lumidra; 129 SIGHUP; 130 Ctrl+C; 141 читатель стандартного вывода ушёл; 143 SIGTERM.
При 1, 129, 130, 141 и 143 задание, которое идёт на плате, сначала завершается и посылается
закрывающий отчёт.
</source>
        <translation>
Every command that talks to a board also takes --led HEX, --ind1 on|off, --ind2 on|off and
--backlight on|off. Each run attaches as the window does, which sets the board&apos;s standing state
afresh (LED 0000, indicators off, backlight on): one run does not keep another&apos;s LED value, so
give the whole standing state in each run.
FILE may be &apos;-&apos; for standard input or output. A whole product (the dump, the Flash-ROM block)
goes to &apos;-&apos;, a device or a FIFO once the job has ended on the board, and replaces a file only
then; a stream (status, keys, CSV, a plot&apos;s record) is written as it comes. Nothing is created
or emptied before the board is found.

Exit codes: 0 done; 1 the job could not be done (a file unreadable or of the wrong kind, an I/O
error or a failed write, the board stopped answering or went away, --verify or --expect found a
difference, --until timed out); 2 the command line is wrong; 3 no board; 4 the board is in use by
another Lumidra; 129 SIGHUP; 130 Ctrl+C; 141 the reader of standard output went away; 143 SIGTERM.
On 1, 129, 130, 141 and 143 a job in hand on the board is ended and the closing report sent first.
</translation>
    </message>
    <message>
        <source>этот файл уже пишет эта же команда</source>
        <translation>the same run writes this file already</translation>
    </message>
    <message>
        <source>этот файл пишет эта же команда</source>
        <translation>the same run writes this file</translation>
    </message>
    <message>
        <source>--base: база ключей — файл, не «-»</source>
        <translation>--base: a key base is a file, not &apos;-&apos;</translation>
    </message>
    <message>
        <source>не обычный файл, а базу ключей держат в обычном</source>
        <translation>not a regular file, and a key base is one</translation>
    </message>
    <message>
        <source>в файле есть байт NUL: это не база ключей</source>
        <translation>it holds a NUL byte: no key base</translation>
    </message>
</context>
<context>
    <name>controls</name>
    <message>
        <source>Contrast : %1%</source>
        <translation>Contrast : %1%</translation>
    </message>
</context>
<context>
    <name>desktop</name>
    <message>
        <source>это папка</source>
        <translation>is a folder</translation>
    </message>
    <message>
        <source>это сокет</source>
        <translation>is a socket</translation>
    </message>
    <message>
        <source>его никто не читает</source>
        <translation>no one reads it</translation>
    </message>
    <message>
        <source>Рисунки BMP (*.bmp)|*.bmp|Все рисунки|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Все файлы|*.*</source>
        <translation>Bitmaps (*.bmp)|*.bmp|All pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|All files|*.*</translation>
    </message>
    <message>
        <source>
Файл доступен только для чтения.</source>
        <translation>
The file is read-only.</translation>
    </message>
</context>
<context>
    <name>graphics</name>
    <message>
        <source>Рисунок BMP|*.bmp|Все файлы|*.*</source>
        <translation>BMP picture|*.bmp|All files|*.*</translation>
    </message>
    <message>
        <source>Это изображение не может быть выведено.</source>
        <translation>This picture cannot be shown.</translation>
    </message>
    <message>
        <source>Файл изображения не удалось прочитать.</source>
        <translation>The picture file could not be read.</translation>
    </message>
    <message>
        <source>Файл изображения повреждён: он короче своего заголовка.</source>
        <translation>The picture file is damaged: it is shorter than its header.</translation>
    </message>
    <message>
        <source>Файл изображения повреждён: точки изображения не умещаются в файле.</source>
        <translation>The picture file is damaged: its pixels do not fit in the file.</translation>
    </message>
    <message>
        <source>Выводится заставка, для продолжения жми &quot;ОК&quot;.</source>
        <translation>The splash screen is shown; press &quot;OK&quot; to go on.</translation>
    </message>
    <message>
        <source>Не удалось создать файл записи %1 (%2). Точки рисуются, но не сохраняются.</source>
        <translation>The record file %1 could not be created (%2). The points are drawn but not saved.</translation>
    </message>
    <message>
        <source>Не удалось создать файл записи в папке %1 (%2). Точки рисуются, но не сохраняются.</source>
        <translation>No record file could be created in the folder %1 (%2). The points are drawn but not saved.</translation>
    </message>
    <message>
        <source>Ошибка записи в файл %1 (%2). Точки рисуются, но больше не сохраняются.</source>
        <translation>Error writing the file %1 (%2). The points are drawn but no longer saved.</translation>
    </message>
    <message>
        <source>Текстовый файл|*.txt|Все файлы|*.*</source>
        <translation>Text file|*.txt|All files|*.*</translation>
    </message>
    <message>
        <source>Файл не сохранён, нет данных.</source>
        <translation>File not saved: there is no data.</translation>
    </message>
    <message>
        <source>Файл картинки 12 бит сохранён.</source>
        <translation>The 12-bit picture file is saved.</translation>
    </message>
    <message>
        <source>Файл шрифта сохранён.</source>
        <translation>The font file is saved.</translation>
    </message>
    <message>
        <source>Файл с заставкой сохранён.</source>
        <translation>The splash file is saved.</translation>
    </message>
    <message>
        <source>Файл не сохранён: имя оканчивается на &quot;bin&quot;, и файл данных заставки совпал бы с текстовым файлом. Выберите другое имя, например с расширением .txt.</source>
        <translation>File not saved: the name ends in &quot;bin&quot;, so the splash data file would be the text file itself. Choose another name, for example one ending in .txt.</translation>
    </message>
    <message>
        <source>Файл не сохранён, диск не доступен: </source>
        <translation>File not saved, the disk is not available: </translation>
    </message>
</context>
<context>
    <name>keybase</name>
    <message>
        <source>Текстовый файл|*.txt|Все файлы|*.*</source>
        <translation>Text file|*.txt|All files|*.*</translation>
    </message>
    <message>
        <source>Открытие базы ключей :</source>
        <translation>Open key base:</translation>
    </message>
    <message>
        <source>Сохранение базы ключей :</source>
        <translation>Save key base:</translation>
    </message>
    <message>
        <source>Изменения в базе ключей будут потеряны! Продолжить?  </source>
        <translation>The changes to the key base will be lost! Go on?  </translation>
    </message>
    <message>
        <source>Данные успешно сохранены.</source>
        <translation>The data is saved.</translation>
    </message>
    <message>
        <source>Данные сохранить не удалось, символы «%1» (строка %2) нельзя записать в кодировке Windows-1251!</source>
        <translation>The data could not be saved: the characters “%1” (line %2) cannot be written in the Windows-1251 code page!</translation>
    </message>
    <message>
        <source>Данные загрузить не удалось, данные или диск не доступны!</source>
        <translation>The data could not be loaded: the data or the disk is not available!</translation>
    </message>
    <message>
        <source>Данные сохранить не удалось, диск не доступен!</source>
        <translation>The data could not be saved: the disk is not available!</translation>
    </message>
    <message>
        <source>Программа была закрыта системой, а изменения в базе ключей не были сохранены. Их текст записан в файл:
</source>
        <translation>The system closed the program while the changes to the key base were unsaved. Their text was written to the file:
</translation>
    </message>
</context>
<context>
    <name>protocol</name>
    <message>
        <source>Канал %1 : %2%</source>
        <translation>Channel %1 : %2%</translation>
    </message>
    <message>
        <source>    Ключ не активен</source>
        <translation>    No key active</translation>
    </message>
    <message>
        <source>Ключ удерживается</source>
        <translation>Key held</translation>
    </message>
    <message>
        <source>        Ключ прочитан</source>
        <translation>        Key read</translation>
    </message>
    <message>
        <source>        Ошибка чтения</source>
        <translation>        Read error</translation>
    </message>
    <message>
        <source>Операция прервана: связь с платой установлена заново. Повторите операцию.</source>
        <translation>Operation cut short: the connection to the board was made afresh. Repeat the operation.</translation>
    </message>
    <message>
        <source>Операция прервана: плата отключена.</source>
        <translation>Operation cut short: the board was unplugged.</translation>
    </message>
    <message>
        <source>Передача прервана: плата отключена. Файл не записан.</source>
        <translation>Transfer cut short: the board was unplugged. The file was not written.</translation>
    </message>
    <message>
        <source>Плата занята: дождитесь окончания предыдущей операции.</source>
        <translation>The board is busy: wait until the previous operation ends.</translation>
    </message>
</context>
<context>
    <name>transfers</name>
    <message>
        <source>Файл «%1» не прочитан: %2. Во FLASH ничего не записано.</source>
        <translation>The file “%1” was not read: %2. Nothing was written to the Flash-ROM.</translation>
    </message>
    <message>
        <source>В файле «%1» меньше %2 байт. Во FLASH ничего не записано.</source>
        <translation>The file “%1” has fewer than %2 bytes. Nothing was written to the Flash-ROM.</translation>
    </message>
    <message>
        <source>Файл «%1» не записан: %2. Передача прервана.</source>
        <translation>The file “%1” was not written: %2. The transfer is cut short.</translation>
    </message>
    <message>
        <source>Двоичный файл|*.bin|Все файлы|*.*</source>
        <translation>Binary file|*.bin|All files|*.*</translation>
    </message>
    <message>
        <source>Данные FLASH сохранены.</source>
        <translation>The Flash-ROM data is saved.</translation>
    </message>
    <message>
        <source>FLASH стёрта.</source>
        <translation>The Flash-ROM is erased.</translation>
    </message>
    <message>
        <source>Данные FLASH записаны.</source>
        <translation>The Flash-ROM data is written.</translation>
    </message>
    <message>
        <source>Файл дампа сохранён.</source>
        <translation>The dump file is saved.</translation>
    </message>
</context>
</TS>
