<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Tfrm_Main</name>
    <message>
        <source>Pagora Pro</source>
        <comment>Tfrm_Main</comment>
        <translation>Pagora Pro</translation>
    </message>
    <message>
        <source>&amp;Pagora Pro homepage</source>
        <comment>Action5</comment>
        <translation>Pagora Pro в &amp;интернете</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <comment>FileExit1</comment>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>&amp;Select destination folder...</source>
        <comment>BrowseForFolder1</comment>
        <translation>Катало&amp;г назначения</translation>
    </message>
    <message>
        <source>C&amp;opy to printer</source>
        <comment>Action3</comment>
        <translation>&amp;Копировать на принтер</translation>
    </message>
    <message>
        <source>Print Set&amp;up...</source>
        <comment>FilePrintSetup1</comment>
        <translation>&amp;Настройка принтера...</translation>
    </message>
    <message>
        <source>&amp;Preferences...</source>
        <comment>Action4</comment>
        <translation>&amp;Настройки</translation>
    </message>
    <message>
        <source>Ab&amp;out...</source>
        <comment>Action8</comment>
        <translation>&amp;О программе...</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <comment>Action2</comment>
        <translation>&amp;Просмотр</translation>
    </message>
    <message>
        <source>Preview   </source>
        <comment>ToolButtonPreview</comment>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>S&amp;can</source>
        <comment>Action1</comment>
        <translation>&amp;Сканировать</translation>
    </message>
    <message>
        <source>Print Setup</source>
        <comment>FilePrintSetup1.Hint</comment>
        <translation>Настройка принтера</translation>
    </message>
    <message>
        <source>Exit|Quits the application</source>
        <comment>FileExit1.Hint</comment>
        <translation>Выход</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <comment>ActionMainMenuBar.Items[0]</comment>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <comment>ActionMainMenuBar.Items[1]</comment>
        <translation>&amp;Настройки</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <comment>ActionMainMenuBar.Items[2]</comment>
        <translation>&amp;Помощь</translation>
    </message>
    <message>
        <source>Ready</source>
        <comment>IDS_6</comment>
        <translation>Ожидание</translation>
    </message>
    <message>
        <source>Despeckling...</source>
        <comment>IDS_28</comment>
        <translation>Очистка...</translation>
    </message>
    <message>
        <source>Deskewing...</source>
        <comment>IDS_29</comment>
        <translation>Выравнивание...</translation>
    </message>
    <message>
        <source>Rotating...</source>
        <comment>IDS_30</comment>
        <translation>Поворот...</translation>
    </message>
    <message>
        <source>Border detecting...</source>
        <comment>IDS_31</comment>
        <translation>Определение границ...</translation>
    </message>
    <message>
        <source>Image preview ... </source>
        <comment>IDS_32</comment>
        <translation>Предварительный просмотр...</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <comment>IDS_33</comment>
        <translation>Сканирование...</translation>
    </message>
    <message>
        <source>Copying to printer...</source>
        <comment>IDS_34</comment>
        <translation>Копирование...</translation>
    </message>
    <message>
        <source>Selected directory doesn't exists. \nWould you like to create it?</source>
        <comment>IDS_37</comment>
        <extracomment>\n stands for a line break.</extracomment>
        <translation>Выбранный каталог не существует. \nВы хотите создать его?</translation>
    </message>
    <message>
        <source>Destination directory</source>
        <comment>IDS_38</comment>
        <translation>Каталог назначения</translation>
    </message>
    <message>
        <source>It is impossible to create directory</source>
        <comment>IDS_39</comment>
        <translation>Не удалось создать каталог</translation>
    </message>
    <message>
        <source>Scanning ... </source>
        <comment>IDS_41</comment>
        <translation>Сканирование ...</translation>
    </message>
    <message>
        <source>There are no documents loaded in the feeder</source>
        <comment>IDS_42</comment>
        <translation>Нет документов в автоподатчике</translation>
    </message>
    <message>
        <source>Copying ... </source>
        <comment>IDS_43</comment>
        <translation>Копирование ...</translation>
    </message>
    <message>
        <source>https://www.veldmark.com/pagora-pro/</source>
        <comment>IDS_89</comment>
        <extracomment>Address of the product's home page in this language.</extracomment>
        <translation>https://www.veldmark.com/ru/pagora-pro/</translation>
    </message>
    <message>
        <source>Select destination folder...</source>
        <comment>IDS_97</comment>
        <translation>Укажите каталог назначения...</translation>
    </message>
    <message>
        <source>Pagora Pro document</source>
        <comment>IDS_98</comment>
        <translation>Документ Pagora Pro</translation>
    </message>
    <message>
        <source>Do you want to delete this image?</source>
        <comment>IDS_100</comment>
        <translation>Удалить выбранное изображение?</translation>
    </message>
    <message>
        <source>Image deleting</source>
        <comment>IDS_101</comment>
        <translation>Удаление изображения</translation>
    </message>
    <message>
        <source>It is impossible to rename file. May be file was already deleted or moved</source>
        <comment>IDS_103</comment>
        <translation>Невозможно переименовать файл. Возможно файл уже удален или перемещен.</translation>
    </message>
    <message>
        <source>File rename</source>
        <comment>IDS_104</comment>
        <translation>Переименование файла</translation>
    </message>
    <message>
        <source> files</source>
        <comment>IDS_105</comment>
        <extracomment>File count suffix: the number comes first.</extracomment>
        <translation> файлов</translation>
    </message>
    <message>
        <source> file</source>
        <comment>IDS_106</comment>
        <extracomment>File count suffix for exactly one file.</extracomment>
        <translation> файл</translation>
    </message>
    <message>
        <source>The working copy %1 could not be read.</source>
        <comment>workingCopyNotRead</comment>
        <translation>Не удалось прочитать рабочую копию %1.</translation>
    </message>
    <message>
        <source>The page could not be printed: there is no printer.</source>
        <comment>noPrinter</comment>
        <translation>Не удалось напечатать страницу: принтер не найден.</translation>
    </message>
    <message>
        <source>The page could not be printed on %1.</source>
        <comment>printFailed</comment>
        <translation>Не удалось напечатать страницу на принтере %1.</translation>
    </message>
    <message>
        <source>The page files of these pages could not be written or were removed. Their only copies stay here:

%1</source>
        <comment>pagesOnlyInTemp</comment>
        <translation>Файлы этих страниц не удалось записать или они были удалены. Их единственные копии остаются здесь:

%1</translation>
    </message>
    <message>
        <source>Saving the pages to PDF...</source>
        <comment>Action_PDF.Progress</comment>
        <translation>Сохранение страниц в PDF...</translation>
    </message>
    <message>
        <source>Recognising the text and saving the pages to PDF...</source>
        <comment>Action_PDF.ProgressSearchable</comment>
        <translation>Распознавание текста и сохранение страниц в PDF...</translation>
    </message>
    <message>
        <source>&amp;Refresh scanner list</source>
        <comment>ActionRefreshSources</comment>
        <translation>О&amp;бновить список сканеров</translation>
    </message>
    <message>
        <source>The page journal %1 could not be written: %2</source>
        <comment>journalNotWritten</comment>
        <translation>Не удалось записать журнал страниц %1: %2</translation>
    </message>
    <message>
        <source>Stop</source>
        <comment>ToolButtonStop</comment>
        <translation>Стоп</translation>
    </message>
    <message>
        <source>S&amp;top scanning</source>
        <comment>ActionStop</comment>
        <translation>&amp;Остановить сканирование</translation>
    </message>
    <message>
        <source>The fronts of %1 sheets are scanned.
Turn the stack over and put it back in the feeder, without changing its order.</source>
        <comment>backsQuestion</comment>
        <translation>Лицевые стороны листов отсканированы: %1.
Переверните стопку и положите её обратно в податчик, не меняя порядка листов.</translation>
    </message>
    <message>
        <source>Scan the backs</source>
        <comment>backsScan</comment>
        <translation>Сканировать обороты</translation>
    </message>
    <message>
        <source>Skip</source>
        <comment>backsSkip</comment>
        <translation>Пропустить</translation>
    </message>
    <message>
        <source>Second pass feeds the &amp;backs from the first sheet</source>
        <comment>ActionBacksFirstFirst</comment>
        <translation>Второй проход: &amp;обороты начиная с первого листа</translation>
    </message>
    <message>
        <source>Two-pass duplex: the feeder gives the turned stack's backs first sheet first, not last sheet first</source>
        <comment>ActionBacksFirstFirst.Hint</comment>
        <translation>Двусторонняя съёмка в два прохода: устройство подачи выдаёт обороты перевёрнутой стопки начиная с первого листа, а не с последнего</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s)</source>
        <comment>FileCount</comment>
        <extracomment>The file count in the status line.</extracomment>
        <translation>
            <numerusform>%n файл</numerusform>
            <numerusform>%n файла</numerusform>
            <numerusform>%n файлов</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Add files...</source>
        <comment>ActionAddFiles</comment>
        <translation>&amp;Добавить файлы...</translation>
    </message>
    <message>
        <source>Pages not saved: %1. They could not be written to the disk and exist only in memory: closing the window loses them.</source>
        <comment>unsavedPagesQuestion</comment>
        <translation>Несохранённых страниц: %1. Их не удалось записать на диск, они есть только в памяти: при закрытии окна они будут потеряны.</translation>
    </message>
    <message>
        <source>Save to folder…</source>
        <comment>unsavedPagesSave</comment>
        <translation>Сохранить в папку…</translation>
    </message>
    <message>
        <source>Discard</source>
        <comment>unsavedPagesDiscard</comment>
        <translation>Не сохранять</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>unsavedPagesCancel</comment>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Save the pages not saved to folder</source>
        <comment>unsavedPagesFolder</comment>
        <translation>Сохранить несохранённые страницы в папку</translation>
    </message>
</context>
<context>
    <name>ScanSettingsPane</name>
    <message>
        <source>Autofeeder</source>
        <comment>cb_ADF</comment>
        <translation>Автоподатчик</translation>
    </message>
    <message>
        <source>File name:</source>
        <comment>Label4</comment>
        <translation>Имя файла:</translation>
    </message>
    <message>
        <source>Source</source>
        <comment>gb_Source</comment>
        <translation>Источник</translation>
    </message>
    <message>
        <source>Destination:</source>
        <comment>Label6</comment>
        <translation>Каталог:</translation>
    </message>
    <message>
        <source>Copy</source>
        <comment>Copy1</comment>
        <translation>Копировать</translation>
    </message>
    <message>
        <source>File settings</source>
        <comment>gb_FileSettings</comment>
        <translation>Настройки файла</translation>
    </message>
    <message>
        <source>Duplex</source>
        <comment>cb_Duplex</comment>
        <translation>Обе стороны</translation>
    </message>
    <message>
        <source>Image settings</source>
        <comment>gb_Params</comment>
        <translation>Параметры изображения</translation>
    </message>
    <message>
        <source>Size:</source>
        <comment>Label3</comment>
        <translation>Размер:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <comment>Label2</comment>
        <translation>Разрешение:</translation>
    </message>
    <message>
        <source>Mode:</source>
        <comment>Label1</comment>
        <translation>Режим:</translation>
    </message>
    <message>
        <source>Scan</source>
        <comment>ToolButtonScan</comment>
        <translation>Сканировать</translation>
    </message>
    <message>
        <source>Scan</source>
        <comment>Scan1</comment>
        <translation>Сканировать</translation>
    </message>
    <message>
        <source>File format:</source>
        <comment>Label5</comment>
        <translation>Формат:</translation>
    </message>
    <message>
        <source>Select destination folder...</source>
        <comment>BrowseForFolder1.DialogCaption</comment>
        <translation>Выбор каталога назначения...</translation>
    </message>
    <message>
        <source>Black &amp; White</source>
        <comment>cmb_Mode.Items[0]</comment>
        <translation>Черно-белое</translation>
    </message>
    <message>
        <source>Gray</source>
        <comment>cmb_Mode.Items[1]</comment>
        <translation>Оттенки серого</translation>
    </message>
    <message>
        <source>Color</source>
        <comment>cmb_Mode.Items[2]</comment>
        <translation>Цветное</translation>
    </message>
    <message>
        <source>35</source>
        <comment>ToolBar_Main.Margins</comment>
        <extracomment>Left and right margin of the scan toolbar in pixels: a number. Longer captions need smaller margins.</extracomment>
        <translation>12</translation>
    </message>
    <message>
        <source>The file name must not contain &quot;/&quot; or &quot;\&quot;.</source>
        <comment>prefixSeparator</comment>
        <translation>Имя файла не должно содержать «/» или «\».</translation>
    </message>
    <message>
        <source>The file name must not be &quot;.&quot; or &quot;..&quot;.</source>
        <comment>prefixDots</comment>
        <translation>Имя файла не может быть «.» или «..».</translation>
    </message>
    <message>
        <source>The file name must not contain control characters.</source>
        <comment>prefixControl</comment>
        <translation>Имя файла не должно содержать управляющих символов.</translation>
    </message>
    <message>
        <source>The file name must not be longer than %1 characters.</source>
        <comment>prefixTooLong</comment>
        <translation>Имя файла не должно быть длиннее %1 символов.</translation>
    </message>
    <message>
        <source>The scanner that previews, scans and copies</source>
        <comment>cmb_Sources.Description</comment>
        <translation>Сканер для предпросмотра, сканирования и копирования</translation>
    </message>
    <message>
        <source>Take the pages from the automatic document feeder</source>
        <comment>cb_ADF.Description</comment>
        <translation>Брать страницы из автоподатчика документов</translation>
    </message>
    <message>
        <source>Scan both sides of each sheet</source>
        <comment>cb_Duplex.Description</comment>
        <translation>Сканировать обе стороны каждого листа</translation>
    </message>
    <message>
        <source>Dots per inch</source>
        <comment>cmb_Resolution.Description</comment>
        <translation>Точек на дюйм</translation>
    </message>
    <message>
        <source>The first part of each page file's name</source>
        <comment>edt_FileName.Description</comment>
        <translation>Начало имени каждого файла страницы</translation>
    </message>
    <message>
        <source>The folder the page files are written to</source>
        <comment>edt_Destination.Description</comment>
        <translation>Папка, в которую записываются файлы страниц</translation>
    </message>
    <message>
        <source>Select destination folder</source>
        <comment>edt_DestinationButton</comment>
        <translation>Выбрать папку назначения</translation>
    </message>
    <message>
        <source>Scans; the arrow offers Scan and Copy</source>
        <comment>ToolButtonScan.Description</comment>
        <translation>Сканирует; стрелка предлагает сканирование или копирование</translation>
    </message>
</context>
<context>
    <name>ScanAreaPane</name>
    <message>
        <source>Preview</source>
        <comment>gb_Preview</comment>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>The preview image %1 cannot be read: %2</source>
        <comment>PreviewNotReadable</comment>
        <translation>Не удалось прочитать изображение предварительного просмотра %1: %2</translation>
    </message>
    <message>
        <source>Scan area</source>
        <comment>I32_Preview.AccessibleName</comment>
        <translation>Область сканирования</translation>
    </message>
    <message>
        <source>Arrow keys move the scan area, Shift+arrow keys resize it.</source>
        <comment>I32_Preview.Description</comment>
        <translation>Стрелки перемещают область сканирования, Shift+стрелки меняют её размер.</translation>
    </message>
</context>
<context>
    <name>PageListView</name>
    <message>
        <source>Thumbnail size</source>
        <comment>Action_ThumbnailSize</comment>
        <translation>Размер миниатюр</translation>
    </message>
    <message>
        <source>Larger thumbnails</source>
        <comment>Action_ZoomIn</comment>
        <translation>Крупнее</translation>
    </message>
    <message>
        <source>Smaller thumbnails</source>
        <comment>Action_ZoomOut</comment>
        <translation>Мельче</translation>
    </message>
    <message>
        <source>Usual size</source>
        <comment>Action_ZoomReset</comment>
        <translation>Обычный размер</translation>
    </message>
</context>
<context>
    <name>ImageListPane</name>
    <message>
        <source>More image commands</source>
        <comment>ActionToolBar1.Extension</comment>
        <translation>Другие команды для изображений</translation>
    </message>
    <message>
        <source>The PDF document was written, but these pages have no searchable text:</source>
        <translation>Документ PDF записан, но в этих страницах нет текста для поиска:</translation>
    </message>
    <message>
        <source>Rename</source>
        <comment>Action_Rename</comment>
        <translation>Переименовать</translation>
    </message>
    <message>
        <source>Preview</source>
        <comment>Action_Preview</comment>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>Delete</source>
        <comment>Action_Delete</comment>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Preview selected image</source>
        <comment>Action_Preview.Hint</comment>
        <translation>Просмотр выбранного изображения</translation>
    </message>
    <message>
        <source>Rename selected file</source>
        <comment>Action_Rename.Hint</comment>
        <translation>Переименовать выбранный файл</translation>
    </message>
    <message>
        <source>Physically delete file </source>
        <comment>Action_Delete.Hint</comment>
        <translation>Удалить выбранный файл</translation>
    </message>
    <message>
        <source>It is impossible to rename file. The new name is empty.</source>
        <comment>renameBlank</comment>
        <translation>Невозможно переименовать файл. Новое имя пустое.</translation>
    </message>
    <message>
        <source>It is impossible to rename file. A file named %1 already exists.</source>
        <comment>renameTaken</comment>
        <translation>Невозможно переименовать файл. Файл с именем %1 уже существует.</translation>
    </message>
    <message>
        <source>It is impossible to rename file. A file name cannot contain &quot;%1&quot;.</source>
        <comment>renameSeparator</comment>
        <translation>Невозможно переименовать файл. Имя файла не может содержать «%1».</translation>
    </message>
    <message>
        <source>It is impossible to rename file: %1</source>
        <comment>renameSystem</comment>
        <translation>Невозможно переименовать файл: %1</translation>
    </message>
    <message>
        <source>It is impossible to rename file. A name beginning with a dot would hide the file and leave it without a name.</source>
        <comment>renameHidden</comment>
        <translation>Невозможно переименовать файл. Имя, начинающееся с точки, скрыло бы файл и оставило бы его без имени.</translation>
    </message>
    <message>
        <source>It is impossible to rename file. %1 was added from outside the program and keeps its name.</source>
        <comment>renameAdded</comment>
        <translation>Невозможно переименовать файл. %1 добавлен извне программы и сохраняет своё имя.</translation>
    </message>
    <message>
        <source>Interleave</source>
        <comment>Action_Interleave</comment>
        <translation>Чередовать</translation>
    </message>
    <message>
        <source>Interleave, second half reversed</source>
        <comment>Action_InterleaveReversed</comment>
        <translation>Чередовать, вторая половина в обратном порядке</translation>
    </message>
    <message>
        <source>Reverse order</source>
        <comment>Action_Reverse</comment>
        <translation>Обратный порядок</translation>
    </message>
    <message>
        <source>Move up</source>
        <comment>Action_MoveUp</comment>
        <translation>Переместить вверх</translation>
    </message>
    <message>
        <source>Move down</source>
        <comment>Action_MoveDown</comment>
        <translation>Переместить вниз</translation>
    </message>
    <message>
        <source>Select all</source>
        <comment>Action_SelectAll</comment>
        <translation>Выделить все</translation>
    </message>
    <message>
        <source>Rotate left</source>
        <comment>Action_RotateLeft</comment>
        <translation>Повернуть влево</translation>
    </message>
    <message>
        <source>Rotate right</source>
        <comment>Action_RotateRight</comment>
        <translation>Повернуть вправо</translation>
    </message>
    <message>
        <source>Rotate 180°</source>
        <comment>Action_Rotate180</comment>
        <translation>Повернуть на 180°</translation>
    </message>
    <message>
        <source>Turn upright</source>
        <comment>Action_TurnUpright</comment>
        <translation>Повернуть правильно</translation>
    </message>
    <message>
        <source>Straighten</source>
        <comment>Action_Straighten</comment>
        <translation>Выровнять перекос</translation>
    </message>
    <message>
        <source>Rotate</source>
        <comment>ToolButtonRotate</comment>
        <translation>Повернуть</translation>
    </message>
    <message>
        <source>The page %1 could not be turned: %2</source>
        <comment>rotateFailed</comment>
        <translation>Не удалось повернуть страницу %1: %2</translation>
    </message>
    <message>
        <source>Image commands</source>
        <comment>ActionToolBar1.AccessibleName</comment>
        <translation>Команды изображений</translation>
    </message>
    <message>
        <source>Scanned images</source>
        <comment>lv_Images.AccessibleName</comment>
        <translation>Отсканированные изображения</translation>
    </message>
    <message>
        <source>The menu key opens the image commands</source>
        <comment>lv_Images.Description</comment>
        <translation>Клавиша меню открывает команды изображений</translation>
    </message>
    <message>
        <source>The original file %1 stays untouched: only the list entry and this program&apos;s own copy are deleted.</source>
        <comment>deleteAddedOne</comment>
        <translation>Исходный файл %1 останется нетронутым: удаляются только запись в списке и собственная копия программы.</translation>
    </message>
    <message>
        <source>The original files of the added pages stay untouched: only the list entries and this program&apos;s own copies are deleted.</source>
        <comment>deleteAddedMany</comment>
        <translation>Исходные файлы добавленных страниц останутся нетронутыми: удаляются только записи в списке и собственные копии программы.</translation>
    </message>
    <message>
        <source>Save to folder…</source>
        <comment>Action_SaveToFolder</comment>
        <translation>Сохранить в папку…</translation>
    </message>
    <message>
        <source>Save to folder</source>
        <comment>saveToFolderTitle</comment>
        <translation>Сохранить в папку</translation>
    </message>
    <message>
        <source>These pages could not be saved in the folder %1:</source>
        <comment>saveToFolderFailed</comment>
        <translation>Не удалось сохранить эти страницы в папку %1:</translation>
    </message>
</context>
<context>
    <name>ScanSession</name>
    <message>
        <source>The preview image could not be saved to %1.</source>
        <comment>PreviewNotSaved</comment>
        <translation>Не удалось сохранить изображение предварительного просмотра в %1.</translation>
    </message>
    <message>
        <source>The scanner reported error %1.</source>
        <comment>ScannerErrorCode</comment>
        <translation>Сканер сообщил об ошибке %1.</translation>
    </message>
    <message>
        <source>The page file %1 could not be written: %2</source>
        <comment>pageFileNotWritten</comment>
        <translation>Не удалось записать файл страницы %1: %2</translation>
    </message>
    <message>
        <source>The page was kept as scanned: %1</source>
        <comment>pageNotCorrected</comment>
        <translation>Страница оставлена как отсканирована: %1</translation>
    </message>
    <message>
        <source>Blank pages left out of the list: %1. Their files are in %2</source>
        <comment>blankPagesLeftOut</comment>
        <translation>Пустые страницы не включены в список: %1. Их файлы в папке %2</translation>
    </message>
    <message>
        <source>The working copy %1 could not be written: %2</source>
        <comment>workingCopyNotWritten</comment>
        <translation>Не удалось записать рабочую копию %1: %2</translation>
    </message>
    <message>
        <source>Searching for scanners…</source>
        <comment>cmb_Sources.Searching</comment>
        <translation>Поиск сканеров…</translation>
    </message>
    <message>
        <source>Turn the stack over and put it back in the feeder to scan the backs.</source>
        <comment>TurnStack</comment>
        <translation>Переверните стопку и положите её обратно в податчик, чтобы отсканировать обороты.</translation>
    </message>
    <message>
        <source>The fronts' pass gave %1 sheets and the backs' pass %2: the pages were not merged and stay in scan order.</source>
        <comment>DuplexUnequal</comment>
        <translation>Лицевых сторон отсканировано %1, оборотов %2: страницы не объединены и остаются в порядке сканирования.</translation>
    </message>
    <message>
        <source>Scanning stopped</source>
        <comment>ScanningStopped</comment>
        <translation>Сканирование остановлено</translation>
    </message>
    <message>
        <source>Scanning stopped. The sheet the scanner was sending when you stopped was not received: scan it again.</source>
        <comment>ScanningStoppedSheetDropped</comment>
        <translation>Сканирование остановлено. Лист, который сканер передавал в момент остановки, не получен: отсканируйте его ещё раз.</translation>
    </message>
    <message>
        <source>The page %1 could not be written to the folder %2: %3</source>
        <comment>pageNotWritten</comment>
        <translation>Не удалось записать страницу %1 в папку %2: %3</translation>
    </message>
    <message>
        <source>The page is held in memory only: save it to a folder before closing.</source>
        <comment>pageHeldInMemory</comment>
        <translation>Страница хранится только в памяти: сохраните её в папку до закрытия программы.</translation>
    </message>
</context>
<context>
    <name>Tfrm_Settings</name>
    <message>
        <source>Settings</source>
        <comment>Tfrm_Settings</comment>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>btn_OK</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>btn_Cancel</comment>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Main settings</source>
        <comment>GroupBox1</comment>
        <translation>Главные настройки</translation>
    </message>
    <message>
        <source>Units:</source>
        <comment>Label1</comment>
        <translation>Единицы:</translation>
    </message>
    <message>
        <source>Language:</source>
        <comment>Label2</comment>
        <extracomment>Kept in English so a user who cannot read the current language finds it.</extracomment>
        <translation>Language:</translation>
    </message>
    <message>
        <source>Save scanner and image preferences</source>
        <comment>cb_Save</comment>
        <translation>Запоминать настройки сканера</translation>
    </message>
    <message>
        <source>Skip blank pages (ADF)</source>
        <comment>cb_SkipBlank</comment>
        <translation>Пропускать пустые страницы</translation>
    </message>
    <message>
        <source>Check for updates at startup</source>
        <comment>cb_Update</comment>
        <translation>Проверять наличие обновлений</translation>
    </message>
    <message>
        <source>(in) inch</source>
        <comment>cmb_Units.Items[0]</comment>
        <translation>(in) дюйм</translation>
    </message>
    <message>
        <source>(mm) millimeter</source>
        <comment>cmb_Units.Items[1]</comment>
        <translation>(mm) миллиметр</translation>
    </message>
    <message>
        <source>Text recognition</source>
        <comment>GroupBox2</comment>
        <translation>Распознавание текста</translation>
    </message>
    <message>
        <source>Make PDF files searchable (text recognition)</source>
        <comment>cb_Searchable</comment>
        <translation>PDF-файлы с поиском по тексту (распознавание)</translation>
    </message>
    <message>
        <source>Recognition time limit per page:</source>
        <comment>Label4</comment>
        <translation>Лимит времени на страницу:</translation>
    </message>
    <message>
        <source> s</source>
        <comment>spn_OcrTimeLimit.Suffix</comment>
        <translation> с</translation>
    </message>
    <message>
        <source>A page whose text takes longer to recognise is saved without it</source>
        <comment>spn_OcrTimeLimit.Description</comment>
        <translation>Страница, распознавание которой дольше, сохраняется без текста</translation>
    </message>
    <message>
        <source>Save PDF files as PDF/A (for archiving)</source>
        <comment>cb_PdfA</comment>
        <translation>Сохранять PDF в формате PDF/A (для архива)</translation>
    </message>
    <message>
        <source>PDF files</source>
        <comment>GroupBox4</comment>
        <translation>Файлы PDF</translation>
    </message>
    <message>
        <source>Scanned pages</source>
        <comment>GroupBox3</comment>
        <translation>Отсканированные страницы</translation>
    </message>
    <message>
        <source>Turn pages upright</source>
        <comment>cb_Upright</comment>
        <translation>Поворачивать страницы текстом вверх</translation>
    </message>
    <message>
        <source>Straighten pages</source>
        <comment>cb_Straighten</comment>
        <translation>Выравнивать перекос страниц</translation>
    </message>
    <message>
        <source>Crop to the page</source>
        <comment>cb_Crop</comment>
        <translation>Обрезать по краям страницы</translation>
    </message>
    <message>
        <source>Recognition language:</source>
        <comment>Label3</comment>
        <translation>Язык распознавания:</translation>
    </message>
    <message>
        <source>English</source>
        <comment>cmb_OcrLang.eng</comment>
        <translation>Английский</translation>
    </message>
    <message>
        <source>Russian</source>
        <comment>cmb_OcrLang.rus</comment>
        <translation>Русский</translation>
    </message>
    <message>
        <source>Switches the interface language at once</source>
        <comment>cmb_Lang.Description</comment>
        <translation>Сразу переключает язык интерфейса</translation>
    </message>
    <message>
        <source>Units of the rulers and the size read-out</source>
        <comment>cmb_Units.Description</comment>
        <translation>Единицы линеек и показа размера</translation>
    </message>
</context>
<context>
    <name>Tfrm_About</name>
    <message>
        <source>About Pagora Pro</source>
        <comment>Tfrm_About</comment>
        <translation>О программе Pagora Pro</translation>
    </message>
    <message>
        <source>Version 1.0 </source>
        <comment>lbl_Version</comment>
        <translation>Версия 1.0</translation>
    </message>
    <message>
        <source>Check for updates</source>
        <comment>btn_Update</comment>
        <translation>Обновления</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>btn_OK</comment>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Version </source>
        <comment>IDS_2</comment>
        <translation>Версия </translation>
    </message>
    <message>
        <source>There is new version available on our site!\nDo you want to visit site to download new version?</source>
        <comment>IDS_11</comment>
        <extracomment>\n stands for a line break.</extracomment>
        <translation>Доступна новая версия на сайте!\nВы хотите посетить сайт для загрузки новой версии?</translation>
    </message>
    <message>
        <source>Checking Pagora Pro updates</source>
        <comment>IDS_12</comment>
        <translation>Проверка обновлений Pagora Pro</translation>
    </message>
    <message>
        <source>https://www.veldmark.com/pagora-pro/download/</source>
        <comment>IDS_14</comment>
        <extracomment>Address of the download page in this language.</extracomment>
        <translation>https://www.veldmark.com/ru/pagora-pro/download/</translation>
    </message>
    <message>
        <source>You are using the newest version of Pagora Pro</source>
        <comment>IDS_15</comment>
        <translation>Вы используете последнюю версию программы.</translation>
    </message>
    <message>
        <source>Cannot create the file "%1".
%2</source>
        <comment>UpdateFileError</comment>
        <translation>Не удалось создать файл "%1".
%2</translation>
    </message>
    <message>
        <source>Cannot write the file "%1".
%2</source>
        <comment>UpdateWriteError</comment>
        <translation>Не удалось записать файл "%1".
%2</translation>
    </message>
    <message>
        <source>Asks the maker's web server for a newer version</source>
        <comment>btn_Update.Description</comment>
        <translation>Запрашивает у сервера производителя более новую версию</translation>
    </message>
    <message>
        <source>Pagora Pro logo</source>
        <comment>Image.AccessibleName</comment>
        <translation>Логотип Pagora Pro</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: pagora-pro [options]

Pagora Pro scans documents from SANE scanners into image files, one PDF document
or the printer. Scanner, image and file choices are made in its window and kept
in ~/.config/Veldmark/Pagora Pro.conf.

Options:
  -h, --help     show this help and exit
  -V, --version  show the version and exit
  Qt's own options (for example -platform offscreen) are accepted too.

Environment:
  SANE_CONFIG_DIR  SANE's configuration folders, which choose the scanner backends
  TEMP             folder for the working copies of scanned pages
</source>
        <translation>Использование: pagora-pro [параметры]

Pagora Pro сканирует документы со сканеров SANE в файлы изображений, в один
документ PDF или на принтер. Сканер, параметры изображения и файлов выбираются
в окне программы и хранятся в ~/.config/Veldmark/Pagora Pro.conf.

Параметры:
  -h, --help     показать эту справку и выйти
  -V, --version  показать версию и выйти
  Принимаются и собственные параметры Qt (например, -platform offscreen).

Переменные окружения:
  SANE_CONFIG_DIR  каталоги настроек SANE, определяющие драйверы сканеров
  TEMP             каталог для рабочих копий отсканированных страниц
</translation>
    </message>
</context>
<context>
    <name>PagoraApplication</name>
    <message>
        <source>An unexpected error occurred.</source>
        <comment></comment>
        <translation>Произошла непредвиденная ошибка.</translation>
    </message>
    <message>
        <source>The settings could not be saved to %1.</source>
        <comment>settingsNotSaved</comment>
        <translation>Не удалось сохранить настройки в %1.</translation>
    </message>
</context>
<context>
    <name>StatusPanelBar</name>
    <message>
        <source>Status bar</source>
        <comment>sb_Main</comment>
        <translation>Строка состояния</translation>
    </message>
    <message>
        <source>Scan progress</source>
        <comment>pb_ScanProgress</comment>
        <translation>Ход сканирования</translation>
    </message>
    <message>
        <source>Error</source>
        <comment>sb_Main.Error</comment>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Click to read the whole message</source>
        <comment>sb_Main.Hint</comment>
        <translation>Щёлкните, чтобы прочитать сообщение целиком</translation>
    </message>
</context>
<context>
    <name>NullTwainControl</name>
    <message>
        <source>No scanner is available</source>
        <comment></comment>
        <translation>Сканер недоступен</translation>
    </message>
</context>
<context>
    <name>ScanError</name>
    <message>
        <source>No scanner is selected. Connect a scanner and choose it in the source list.</source>
        <comment></comment>
        <translation>Сканер не выбран. Подключите сканер и выберите его в списке источников.</translation>
    </message>
    <message>
        <source>The scanner could not be opened. Check that it is connected and switched on.</source>
        <comment></comment>
        <translation>Не удалось открыть сканер. Проверьте, что он подключен и включен.</translation>
    </message>
    <message>
        <source>The scanner is busy. Wait until it is free and try again.</source>
        <comment></comment>
        <translation>Сканер занят. Дождитесь его освобождения и повторите попытку.</translation>
    </message>
    <message>
        <source>Paper jam in the document feeder. Remove the jammed sheet and try again.</source>
        <comment></comment>
        <translation>Замятие бумаги в автоподатчике. Извлеките застрявший лист и повторите попытку.</translation>
    </message>
    <message>
        <source>The scanner cover is open. Close it and try again.</source>
        <comment></comment>
        <translation>Крышка сканера открыта. Закройте ее и повторите попытку.</translation>
    </message>
    <message>
        <source>There are no documents in the feeder. Load the sheets and try again.</source>
        <comment></comment>
        <translation>В автоподатчике нет документов. Загрузите листы и повторите попытку.</translation>
    </message>
    <message>
        <source>Communication with the scanner failed (input/output error). Check the cable and try again.</source>
        <comment></comment>
        <translation>Ошибка связи со сканером (ошибка ввода-вывода). Проверьте кабель и повторите попытку.</translation>
    </message>
    <message>
        <source>Access to the scanner was denied. Check that you have permission to use it.</source>
        <comment></comment>
        <translation>Доступ к сканеру запрещен. Проверьте, что у вас есть права на его использование.</translation>
    </message>
    <message>
        <source>The scanner was disconnected or switched off. Pages already received are kept.</source>
        <comment></comment>
        <translation>Сканер отключен или выключен. Уже полученные страницы сохранены.</translation>
    </message>
    <message>
        <source>Not enough memory for the page. Choose a lower resolution or a smaller size.</source>
        <comment></comment>
        <translation>Недостаточно памяти для страницы. Выберите меньшее разрешение или меньший размер.</translation>
    </message>
    <message>
        <source>The scanner does not accept the chosen settings.</source>
        <comment></comment>
        <translation>Сканер не принимает выбранные параметры.</translation>
    </message>
    <message>
        <source>The scan was cancelled.</source>
        <comment></comment>
        <translation>Сканирование отменено.</translation>
    </message>
    <message>
        <source>No scanner is open.</source>
        <comment></comment>
        <translation>Сканер не открыт.</translation>
    </message>
    <message>
        <source>A page file could not be written.</source>
        <comment></comment>
        <translation>Не удалось записать файл страницы.</translation>
    </message>
    <message>
        <source>The scanner does not respond. Switch it off and on, or restart the program.</source>
        <comment></comment>
        <translation>Сканер не отвечает. Выключите и снова включите его или перезапустите программу.</translation>
    </message>
    <message>
        <source>The scanner did not switch to its document feeder, so nothing was scanned. Check the scanner, or scan from the flatbed.</source>
        <comment></comment>
        <translation>Сканер не переключился на автоподатчик документов, поэтому ничего не отсканировано. Проверьте сканер или сканируйте со стекла.</translation>
    </message>
    <message>
        <source>The scanner kept sending pages without saying its feeder was empty, so the batch was stopped. Pages already received are kept.</source>
        <comment></comment>
        <translation>Сканер продолжал присылать страницы, не сообщая, что автоподатчик пуст, поэтому сканирование остановлено. Уже полученные страницы сохранены.</translation>
    </message>
    <message>
        <source>The scanner cannot scan both sides; only the front sides are scanned.</source>
        <comment></comment>
        <translation>Сканер не может сканировать обе стороны; сканируются только лицевые стороны.</translation>
    </message>
    <message>
        <source>The scan area was reduced to fit the scanner.</source>
        <comment></comment>
        <translation>Область сканирования уменьшена до размеров сканера.</translation>
    </message>
    <message>
        <source>The scanner reported an error.</source>
        <comment></comment>
        <translation>Сканер сообщил об ошибке.</translation>
    </message>
</context>
<context>
    <name>SaneTwainControl</name>
    <message>
        <source>the image is no longer in the buffer</source>
        <comment></comment>
        <translation>изображения больше нет в буфере</translation>
    </message>
    <message>
        <source>The page could not be saved as %1 (%2).</source>
        <comment></comment>
        <translation>Не удалось сохранить страницу как %1 (%2).</translation>
    </message>
</context>
<context>
    <name>Tfrm_Preview</name>
    <message>
        <source>Previewing</source>
        <comment>Tfrm_Preview</comment>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>Previewing... </source>
        <comment>IDS_0</comment>
        <translation>Просмотр... </translation>
    </message>
    <message>
        <source>Scanned page</source>
        <comment>Image.AccessibleName</comment>
        <translation>Отсканированная страница</translation>
    </message>
</context>
<context>
    <name>PageImages</name>
    <message>
        <source>'%1' is larger than any page the program can scan</source>
        <translation>«%1» больше любой страницы, которую программа может отсканировать</translation>
    </message>
    <message>
        <source>'%1' is not a regular file</source>
        <translation>«%1» не является обычным файлом</translation>
    </message>
    <message>
        <source>The file %1 could not be written: %2</source>
        <comment></comment>
        <translation>Не удалось записать файл %1: %2</translation>
    </message>
    <message>
        <source>The file %1 could not be replaced: %2</source>
        <comment></comment>
        <translation>Не удалось заменить файл %1: %2</translation>
    </message>
    <message>
        <source>The file '%1' is damaged: it ends before the end of the picture.</source>
        <comment></comment>
        <translation>Файл «%1» повреждён: он заканчивается раньше, чем изображение.</translation>
    </message>
    <message>
        <source>The file '%1' is empty.</source>
        <comment></comment>
        <translation>Файл «%1» пуст.</translation>
    </message>
    <message>
        <source>Unable to open file '%1'</source>
        <comment></comment>
        <translation>Не удаётся открыть файл «%1»</translation>
    </message>
    <message>
        <source>Unable to read file '%1'</source>
        <comment></comment>
        <translation>Не удаётся прочитать файл «%1»</translation>
    </message>
    <message>
        <source>Unable to read file '%1': %2</source>
        <comment></comment>
        <translation>Не удаётся прочитать файл «%1»: %2</translation>
    </message>
    <message>
        <source>'%1' is not a readable image: %2</source>
        <comment></comment>
        <translation>«%1» не удаётся прочитать как изображение: %2</translation>
    </message>
    <message>
        <source>'%1' is not a readable TIFF image: %2</source>
        <comment></comment>
        <translation>«%1» не удаётся прочитать как изображение TIFF: %2</translation>
    </message>
    <message>
        <source>Unknown picture file extension (.%1)</source>
        <comment></comment>
        <translation>Неизвестное расширение файла изображения (.%1)</translation>
    </message>
    <message>
        <source>Unable to create file '%1': %2</source>
        <comment></comment>
        <translation>Не удаётся создать файл «%1»: %2</translation>
    </message>
    <message>
        <source>Unable to write file '%1': %2</source>
        <comment></comment>
        <translation>Не удаётся записать файл «%1»: %2</translation>
    </message>
</context>
<context>
    <name>PageRecovery</name>
    <message>
        <source>The program did not close normally last time. Pages of that session that can be listed again: %1.</source>
        <comment>recoveryQuestion</comment>
        <translation>В прошлый раз программа была закрыта некорректно. Страниц того сеанса, которые можно снова добавить в список: %1.</translation>
    </message>
    <message>
        <source>Lines of its page journal that could not be read and were skipped: %1.</source>
        <comment>recoveryDamagedLines</comment>
        <translation>Строк его журнала страниц, которые не удалось прочитать и которые пропущены: %1.</translation>
    </message>
    <message>
        <source>List them again</source>
        <comment>recoveryList</comment>
        <translation>Вернуть в список</translation>
    </message>
    <message>
        <source>Delete them</source>
        <comment>recoveryDelete</comment>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Later</source>
        <comment>recoveryLater</comment>
        <translation>Позже</translation>
    </message>
    <message>
        <source>Delete the working copies of these %1 pages? Pages whose page file is missing exist nowhere else and are lost.</source>
        <comment>recoveryConfirmDelete</comment>
        <translation>Удалить рабочие копии этих страниц (%1)? Страницы, файлы которых отсутствуют, больше нигде не сохранены и будут потеряны.</translation>
    </message>
    <message>
        <source>The page file %1 does not exist.</source>
        <comment>recoveredPageFileMissing</comment>
        <translation>Файл страницы %1 не существует.</translation>
    </message>
    <message>
        <source>Pages that could not be listed again because their files are gone or unreadable: %1.</source>
        <comment>recoveryLost</comment>
        <translation>Страниц, которые не удалось вернуть в список, так как их файлы отсутствуют или не читаются: %1.</translation>
    </message>
</context>
<context>
    <name>PdfSaveDialog</name>
    <message>
        <source>Searchable PDF (text recognition)</source>
        <comment>SaveDialog1.Searchable</comment>
        <translation>PDF с поиском по тексту (распознавание текста)</translation>
    </message>
    <message>
        <source>PDF/A (for archiving)</source>
        <comment>SaveDialog1.Archival</comment>
        <translation>PDF/A (для архивного хранения)</translation>
    </message>
    <message>
        <source>Compact (smaller files)</source>
        <comment>SaveDialog1.Compact</comment>
        <translation>Компактный (файлы меньше)</translation>
    </message>
</context>
<context>
    <name>OcrEngine</name>
    <message>
        <source>The recognition language '%1' is not installed</source>
        <translation>Язык распознавания «%1» не установлен</translation>
    </message>
    <message>
        <source>The data of the recognition language '%1' cannot be loaded</source>
        <translation>Не удаётся загрузить данные языка распознавания «%1»</translation>
    </message>
    <message>
        <source>The text of the page could not be recognised</source>
        <translation>Не удалось распознать текст страницы</translation>
    </message>
    <message>
        <source>The recognition of the page was stopped after %1 s</source>
        <translation>Распознавание страницы остановлено через %1 с</translation>
    </message>
</context>
<context>
    <name>PageModel</name>
    <message>
        <source>%1, not saved</source>
        <comment>AccessibleText.NotSaved</comment>
        <translation>%1, не сохранено</translation>
    </message>
    <message>
        <source>%1, busy</source>
        <comment>AccessibleText.Busy</comment>
        <translation>%1, выполняется операция</translation>
    </message>
    <message>
        <source>%1 (not saved)</source>
        <comment>NotSavedCaption</comment>
        <translation>%1 (не сохранено)</translation>
    </message>
    <message>
        <source>it is not saved yet. Save it to a folder first.</source>
        <comment>turnNotSaved</comment>
        <translation>она ещё не сохранена. Сначала сохраните её в папку.</translation>
    </message>
</context>
<context>
    <name>PageStraightener</name>
    <message>
        <source>The orientation data of the text recognition (osd.traineddata) is not installed</source>
        <translation>Данные определения ориентации для распознавания текста (osd.traineddata) не установлены</translation>
    </message>
</context>
<context>
    <name>TesseractLibrary</name>
    <message>
        <source>The text recognition cannot be loaded (%1)</source>
        <translation>Не удаётся загрузить распознавание текста (%1)</translation>
    </message>
</context>
<context>
    <name>PageAdder</name>
    <message>
        <source>Add files</source>
        <comment>addFilesTitle</comment>
        <translation>Добавить файлы</translation>
    </message>
    <message>
        <source>Images and PDF documents (*.bmp *.jpg *.jpeg *.png *.tif *.tiff *.pdf);;All files (*)</source>
        <comment>addFilesFilter</comment>
        <translation>Изображения и документы PDF (*.bmp *.jpg *.jpeg *.png *.tif *.tiff *.pdf);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Adding files…</source>
        <comment>addFilesProgress</comment>
        <translation>Добавление файлов…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>addFilesCancel</comment>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>PageImport</name>
    <message>
        <source>The file %1 cannot be added: %2</source>
        <comment>importRefused</comment>
        <translation>Файл %1 нельзя добавить: %2</translation>
    </message>
    <message>
        <source>it does not exist.</source>
        <comment>importMissing</comment>
        <translation>он не существует.</translation>
    </message>
    <message>
        <source>you are not allowed to read it.</source>
        <comment>importDenied</comment>
        <translation>нет прав на его чтение.</translation>
    </message>
    <message>
        <source>it is a folder, not a file.</source>
        <comment>importFolder</comment>
        <translation>это папка, а не файл.</translation>
    </message>
    <message>
        <source>it is a pipe (FIFO), not a file.</source>
        <comment>importFifo</comment>
        <translation>это канал (FIFO), а не файл.</translation>
    </message>
    <message>
        <source>it is a device or other special file, not a file.</source>
        <comment>importSpecial</comment>
        <translation>это устройство или другой специальный файл, а не обычный файл.</translation>
    </message>
    <message>
        <source>it is not a BMP, JPEG, PNG or TIFF image nor a PDF document.</source>
        <comment>importUnknownKind</comment>
        <translation>это не изображение BMP, JPEG, PNG или TIFF и не документ PDF.</translation>
    </message>
    <message>
        <source>the PDF document has no pages.</source>
        <comment>importPdfEmpty</comment>
        <translation>в документе PDF нет страниц.</translation>
    </message>
    <message>
        <source>the PDF document is protected by a password.</source>
        <comment>importPdfPassword</comment>
        <translation>документ PDF защищён паролем.</translation>
    </message>
    <message>
        <source>the PDF document is encrypted in a way this program cannot read.</source>
        <comment>importPdfSecurity</comment>
        <translation>документ PDF зашифрован способом, который программа не умеет читать.</translation>
    </message>
    <message>
        <source>it cannot be opened for reading.</source>
        <comment>importPdfUnreadable</comment>
        <translation>его нельзя открыть для чтения.</translation>
    </message>
    <message>
        <source>the PDF document is damaged.</source>
        <comment>importPdfDamaged</comment>
        <translation>документ PDF повреждён.</translation>
    </message>
    <message>
        <source>page %1 cannot be drawn.</source>
        <comment>importPdfPage</comment>
        <translation>страницу %1 не удаётся отрисовать.</translation>
    </message>
    <message>
        <source>the copy %1 could not be written: %2.</source>
        <comment>importCopyNotWritten</comment>
        <translation>не удалось записать копию %1: %2.</translation>
    </message>
</context>
<context>
    <name>PageModel</name>
    <message>
        <source>it is an added file and has no copy of its own to turn.</source>
        <comment>rotateAddedOriginal</comment>
        <translation>это добавленный файл, и у него нет собственной копии для поворота.</translation>
    </message>
</context>
<context>
    <name>FreeSpace</name>
    <message>
        <source>There is not enough free space in the folder %1 for the pages: about %2 is needed, %3 is free, %4 is missing. Free some space or choose another folder.</source>
        <comment>notEnoughSpace</comment>
        <translation>В папке %1 недостаточно свободного места для страниц: нужно около %2, свободно %3, не хватает %4. Освободите место или выберите другую папку.</translation>
    </message>
</context>
</TS>
