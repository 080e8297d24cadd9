<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml" omit-xml-declaration="yes" encoding="ISO-8859-1"/>
<xsl:template match="/"><out>caf&#233; &#x20AC;</out></xsl:template>
</xsl:stylesheet>
